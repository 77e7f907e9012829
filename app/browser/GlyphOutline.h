#pragma once

#include <QImage>

namespace vemo {

// The colour of an outline around text of colour `text`: light around dark text, dark around
// light text, and never exactly `key`, which the colour key would cut away.
QRgb OutlineColourFor(QRgb text, QRgb key);

// Gives everything drawn on the key colour a one-pixel outline: each pixel of exactly `key` with a
// pixel of another colour among its eight neighbours takes OutlineColourFor that neighbour. No
// colour is blended, so a colour key still finds every remaining background pixel exactly.
QImage OutlineGlyphs(const QImage& page, QRgb key);

}  // namespace vemo
