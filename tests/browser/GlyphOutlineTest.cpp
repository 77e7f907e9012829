#include "app/browser/GlyphOutline.h"

#include <gtest/gtest.h>

#include <QFont>
#include <cstdlib>
#include <QPainter>

#include "app/browser/WebBrowser2.h"

namespace vemo {
namespace {

constexpr QRgb Key = 0xFFFFFFE6;  // the default page background

int Luminance(QRgb c) {
    return (299 * qRed(c) + 587 * qGreen(c) + 114 * qBlue(c)) / 1000;
}

// A line of the page's text in `colour`, drawn without anti-aliasing on the key colour.
QImage TextOnKey(QRgb colour) {
    QImage image(160, 24, QImage::Format_RGB32);
    image.fill(Key);
    QPainter painter(&image);
    QFont font;
    const QString family = CWebBrowser2::ChineseFontFamily();
    if (!family.isEmpty()) {
        font.setFamilies({family});
    }
    font.setPixelSize(12);
    font.setStyleStrategy(QFont::NoAntialias);
    painter.setFont(font);
    painter.setPen(QColor::fromRgb(colour));
    painter.drawText(4, 16, QStringLiteral("浦发银行 1A0001 7.65"));
    return image;
}

// What the screen shows once the colour key lets `desktop` through: every pixel of exactly the
// key colour is the desktop's.
QImage OnDesktop(const QImage& page, QRgb desktop) {
    QImage screen = page.copy();
    for (int y = 0; y < screen.height(); ++y) {
        for (int x = 0; x < screen.width(); ++x) {
            if ((screen.pixel(x, y) & 0xFFFFFF) == (Key & 0xFFFFFF)) {
                screen.setPixel(x, y, desktop);
            }
        }
    }
    return screen;
}

// Glyph pixels of `text` (non-key pixels of the plain drawing) with a neighbour on screen that
// hardly differs from them: where a glyph runs into its surroundings.
int LowContrastEdges(const QImage& text, const QImage& screen) {
    int edges = 0;
    for (int y = 0; y < text.height(); ++y) {
        for (int x = 0; x < text.width(); ++x) {
            const QRgb glyph = text.pixel(x, y);
            if ((glyph & 0xFFFFFF) == (Key & 0xFFFFFF)) {
                continue;
            }
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = x + dx;
                    const int ny = y + dy;
                    if (nx < 0 || ny < 0 || nx >= text.width() || ny >= text.height() ||
                        (text.pixel(nx, ny) & 0xFFFFFF) != (Key & 0xFFFFFF)) {
                        continue;
                    }
                    if (std::abs(Luminance(screen.pixel(nx, ny)) - Luminance(glyph)) < 100) {
                        ++edges;
                    }
                }
            }
        }
    }
    return edges;
}

TEST(GlyphOutlineTest, TextReadsOnADarkAndALightDesktop) {
    const QRgb darkDesktop = 0xFF202020;
    const QRgb lightDesktop = 0xFFE8E8E8;
    // The page's dark texts (names, the time line, falling rows) and a light one.
    for (const QRgb colour : {0xFF000000u, 0xFF0000CCu, 0xFF009900u, 0xFFFF0000u, 0xFFFFFF00u}) {
        SCOPED_TRACE(colour);
        const QImage text = TextOnKey(colour);
        const QImage outlined = OutlineGlyphs(text, Key);
        ASSERT_EQ(outlined.size(), text.size());
        EXPECT_EQ(LowContrastEdges(text, OnDesktop(outlined, darkDesktop)), 0);
        EXPECT_EQ(LowContrastEdges(text, OnDesktop(outlined, lightDesktop)), 0);
        // Still no blended colour: the glyphs as drawn, their outline, and the key.
        for (int y = 0; y < outlined.height(); ++y) {
            for (int x = 0; x < outlined.width(); ++x) {
                const QRgb pixel = outlined.pixel(x, y);
                EXPECT_TRUE(pixel == text.pixel(x, y) || pixel == OutlineColourFor(colour, Key))
                    << x << "," << y;
            }
        }
    }
    // Without the outline dark text vanishes into a dark desktop: the measure sees it.
    const QImage plain = TextOnKey(0xFF000000);
    EXPECT_GT(LowContrastEdges(plain, OnDesktop(plain, darkDesktop)), 20);
}

TEST(GlyphOutlineTest, TheOutlineIsNeverTheKey) {
    EXPECT_EQ(OutlineColourFor(0xFF000000, 0xFF123456), 0xFFFFFFFFu);
    EXPECT_EQ(OutlineColourFor(0xFFFFFF00, 0xFF123456), 0xFF000000u);
    EXPECT_EQ(OutlineColourFor(0xFF000000, 0xFFFFFFFF), 0xFFFEFEFEu);
    EXPECT_EQ(OutlineColourFor(0xFFFFFFFF, 0xFF000000), 0xFF010101u);
}

}  // namespace
}  // namespace vemo
