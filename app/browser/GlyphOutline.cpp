#include "app/browser/GlyphOutline.h"

namespace vemo {

namespace {

constexpr QRgb Light = 0xFFFFFFFF;
constexpr QRgb Dark = 0xFF000000;

int Luminance(QRgb colour) {
    return (299 * qRed(colour) + 587 * qGreen(colour) + 114 * qBlue(colour)) / 1000;
}

}  // namespace

QRgb OutlineColourFor(QRgb text, QRgb key) {
    const QRgb outline = Luminance(text) < 128 ? Light : Dark;
    if ((outline & 0xFFFFFF) != (key & 0xFFFFFF)) {
        return outline;
    }
    // One step off the key, which looks the same and stays on screen.
    return outline == Light ? 0xFFFEFEFE : 0xFF010101;
}

QImage OutlineGlyphs(const QImage& page, QRgb key) {
    const QImage source = page.convertToFormat(QImage::Format_RGB32);
    QImage result = source;
    const int width = source.width();
    const int height = source.height();
    const QRgb keyColour = key & 0xFFFFFF;
    const auto isKey = [keyColour](QRgb pixel) { return (pixel & 0xFFFFFF) == keyColour; };
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        auto* out = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < width; ++x) {
            if (!isKey(row[x])) {
                continue;
            }
            // The first neighbour of another colour decides the outline's colour.
            bool found = false;
            QRgb neighbour = 0;
            for (int dy = -1; dy <= 1 && !found; ++dy) {
                const int ny = y + dy;
                if (ny < 0 || ny >= height) {
                    continue;
                }
                const auto* near = reinterpret_cast<const QRgb*>(source.constScanLine(ny));
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = x + dx;
                    if ((dx == 0 && dy == 0) || nx < 0 || nx >= width || isKey(near[nx])) {
                        continue;
                    }
                    neighbour = near[nx];
                    found = true;
                    break;
                }
            }
            if (found) {
                out[x] = OutlineColourFor(neighbour, key);
            }
        }
    }
    return result;
}

}  // namespace vemo
