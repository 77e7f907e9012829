// Draws the ticker's bitmaps and icons into resources/. Run tools/artwork/regenerate.sh after a
// change here and commit the PNGs it writes.
//
// Every picture is drawn at eight times its size and averaged down, which gives clean
// anti-aliased edges; straight strokes sit on whole pixels so that they stay sharp at 1x.

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int Oversample = 8;

// The title strip: a slim blue-grey band with a lighter top edge and a darker bottom edge.
const QColor StripTop(0x6B, 0x81, 0x96);
const QColor StripBottom(0x4A, 0x5E, 0x72);
const QColor StripHighlight(0x86, 0x9A, 0xAD);
const QColor StripShadow(0x3B, 0x4C, 0x5D);
const QColor Symbol(0xF2, 0xF5, 0xF8);
const QColor Rise(0xE8, 0x3B, 0x30);
constexpr int StripHeight = 15;

using Drawing = std::function<void(QPainter&)>;

// Draws `drawing` (in final pixels) at eight times the size and averages each 8x8 block.
QImage Render(int width, int height, const Drawing& drawing) {
    QImage big(width * Oversample, height * Oversample, QImage::Format_ARGB32_Premultiplied);
    big.fill(Qt::transparent);
    {
        QPainter painter(&big);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(Oversample, Oversample);
        drawing(painter);
    }
    QImage small(width, height, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            int sum[4] = {0, 0, 0, 0};
            for (int dy = 0; dy < Oversample; ++dy) {
                const QRgb* line =
                    reinterpret_cast<const QRgb*>(big.constScanLine(y * Oversample + dy));
                for (int dx = 0; dx < Oversample; ++dx) {
                    const QRgb p = line[x * Oversample + dx];
                    sum[0] += qRed(p);
                    sum[1] += qGreen(p);
                    sum[2] += qBlue(p);
                    sum[3] += qAlpha(p);
                }
            }
            constexpr int n = Oversample * Oversample;
            small.setPixel(x, y,
                           qRgba((sum[0] + n / 2) / n, (sum[1] + n / 2) / n, (sum[2] + n / 2) / n,
                                 (sum[3] + n / 2) / n));
        }
    }
    return small.convertToFormat(QImage::Format_ARGB32);
}

// The strip's background over the whole width; every strip piece starts from it, so the pieces
// join without a seam whatever their order.
void DrawStrip(QPainter& p, int width) {
    QLinearGradient gradient(0, 1, 0, StripHeight - 1);
    gradient.setColorAt(0, StripTop);
    gradient.setColorAt(1, StripBottom);
    p.fillRect(QRectF(0, 0, width, StripHeight), gradient);
    p.fillRect(QRectF(0, 0, width, 1), StripHighlight);
    p.fillRect(QRectF(0, StripHeight - 1, width, 1), StripShadow);
}

// A soft, slightly lighter plate behind a button symbol, inside its hit area.
void DrawPlate(QPainter& p, const QRectF& area) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 28));
    p.drawRoundedRect(area, 2, 2);
}

// Close: an x in x 2..14.
void DrawClose(QPainter& p) {
    DrawPlate(p, QRectF(2, 2, 12, 11));
    QPen pen(Symbol, 1.4, Qt::SolidLine, Qt::FlatCap);
    p.setPen(pen);
    p.drawLine(QPointF(5, 4.5), QPointF(11, 10.5));
    p.drawLine(QPointF(11, 4.5), QPointF(5, 10.5));
}

// Hide: a low bar in x 19..30.
void DrawHide(QPainter& p) {
    DrawPlate(p, QRectF(19, 2, 12, 11));
    p.fillRect(QRectF(21, 9, 8, 2), Symbol);
}

// Menu: three lines in x 35..46.
void DrawMenu(QPainter& p) {
    DrawPlate(p, QRectF(35, 2, 12, 11));
    for (int y : {4, 7, 10}) {
        p.fillRect(QRectF(37, y, 8, 1), Symbol);
    }
}

// Refresh: a clockwise circular arrow, centred in its 20-pixel button.
void DrawRefresh(QPainter& p) {
    DrawPlate(p, QRectF(4, 2, 12, 11));
    const QPointF centre(9.5, 7.5);
    const qreal radius = 3.5;
    p.setPen(QPen(Symbol, 1.5, Qt::SolidLine, Qt::FlatCap));
    p.setBrush(Qt::NoBrush);
    const QRectF circle(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    // Qt measures arcs in 1/16 degree, counter-clockwise from three o'clock: this one runs from
    // twelve o'clock round the left to three o'clock, leaving the top right open.
    p.drawArc(circle, 90 * 16, 270 * 16);
    // The head at twelve o'clock, pointing right into the opening.
    const qreal top = centre.y() - radius;
    QPainterPath head;
    head.moveTo(centre.x() - 0.5, top - 2.5);
    head.lineTo(centre.x() + 3.5, top);
    head.lineTo(centre.x() - 0.5, top + 2.5);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(Symbol);
    p.drawPath(head);
}

// The program's mark: rising bars on a blue-grey tile; the last bar is the rise colour.
void DrawMark(QPainter& p, int size, qreal inset, qreal corner) {
    const QRectF tile(inset, inset, size - 2 * inset, size - 2 * inset);
    QLinearGradient gradient(tile.topLeft(), tile.bottomLeft());
    gradient.setColorAt(0, StripTop.lighter(112));
    gradient.setColorAt(1, StripBottom.darker(110));
    p.setPen(QPen(StripShadow, size / 32.0));
    p.setBrush(gradient);
    p.drawRoundedRect(tile.adjusted(size / 64.0, size / 64.0, -size / 64.0, -size / 64.0), corner,
                      corner);

    // The bars sit on whole pixels, so that they stay sharp down to 16 pixels; small sizes show
    // three bars, larger ones four.
    const int bars = size < 20 ? 3 : 4;
    const qreal heights4[] = {0.30, 0.48, 0.40, 0.66};
    const qreal heights3[] = {0.30, 0.48, 0.66};
    const qreal* heights = bars == 4 ? heights4 : heights3;
    const int pitch = qRound(tile.width() * 0.64 / bars);
    const int barWidth = std::max(1, qRound(pitch * 0.7));
    const int total = pitch * (bars - 1) + barWidth;
    const int left = qRound(tile.center().x() - total / 2.0);
    const int bottom = qRound(tile.bottom() - tile.height() * 0.2);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < bars; ++i) {
        const int h = qRound(tile.height() * heights[i]);
        p.setBrush(i == bars - 1 ? Rise : Symbol);
        p.drawRect(QRect(left + i * pitch, bottom - h, barWidth, h));
    }
}

// The mark's inset and corner radius at a size: the hand-tuned small sizes, else in proportion.
struct MarkFrame {
    qreal inset;
    qreal corner;
};
MarkFrame FrameFor(int size) {
    switch (size) {
    case 16: return {0, 3};
    case 22: return {0, 4};
    case 32: return {1, 5};
    case 64: return {2, 10};
    default: return {qreal(size / 32), qRound(size * 10 / 64.0) * 1.0};
    }
}

// The mark as an SVG document of `size` units, drawn with the same geometry as DrawMark, so that
// desktops which scale icons get sharp edges instead of an enlarged bitmap.
QByteArray MarkSvg(int size) {
    const MarkFrame frame = FrameFor(size);
    const QRectF tile(frame.inset, frame.inset, size - 2 * frame.inset, size - 2 * frame.inset);
    const QRectF plate = tile.adjusted(size / 64.0, size / 64.0, -size / 64.0, -size / 64.0);
    const auto hex = [](const QColor& c) { return c.name().toLatin1(); };
    QByteArray svg;
    svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg += QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" "
                          "viewBox=\"0 0 %1 %1\">\n")
               .arg(size)
               .toLatin1();
    svg += QStringLiteral("  <defs><linearGradient id=\"tile\" x1=\"0\" y1=\"%1\" x2=\"0\" y2=\"%2\" "
                          "gradientUnits=\"userSpaceOnUse\">")
               .arg(tile.top())
               .arg(tile.bottom())
               .toLatin1();
    svg += "<stop offset=\"0\" stop-color=\"" + hex(StripTop.lighter(112)) + "\"/>";
    svg += "<stop offset=\"1\" stop-color=\"" + hex(StripBottom.darker(110)) +
           "\"/></linearGradient></defs>\n";
    svg += QStringLiteral("  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" rx=\"%5\" "
                          "fill=\"url(#tile)\" stroke=\"%6\" stroke-width=\"%7\"/>\n")
               .arg(plate.x())
               .arg(plate.y())
               .arg(plate.width())
               .arg(plate.height())
               .arg(frame.corner)
               .arg(QString::fromLatin1(hex(StripShadow)))
               .arg(size / 32.0)
               .toLatin1();
    const qreal heights[] = {0.30, 0.48, 0.40, 0.66};
    const int bars = 4;
    const int pitch = qRound(tile.width() * 0.64 / bars);
    const int barWidth = std::max(1, qRound(pitch * 0.7));
    const int total = pitch * (bars - 1) + barWidth;
    const int left = qRound(tile.center().x() - total / 2.0);
    const int bottom = qRound(tile.bottom() - tile.height() * 0.2);
    for (int i = 0; i < bars; ++i) {
        const int h = qRound(tile.height() * heights[i]);
        svg += QStringLiteral("  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" fill=\"%5\"/>\n")
                   .arg(left + i * pitch)
                   .arg(bottom - h)
                   .arg(barWidth)
                   .arg(h)
                   .arg(QString::fromLatin1(hex(i == bars - 1 ? Rise : Symbol)))
                   .toLatin1();
    }
    svg += "</svg>\n";
    return svg;
}

bool Save(const QImage& image, const QString& path) {
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <resources folder>\n", argv[0]);
        return 2;
    }
    const QDir resources(QString::fromLocal8Bit(argv[1]));
    if (!resources.mkpath(QStringLiteral("bitmaps")) ||
        !resources.mkpath(QStringLiteral("icons"))) {
        std::fprintf(stderr, "cannot create the folders under %s\n", argv[1]);
        return 1;
    }
    const auto path = [&](const char* name) {
        return resources.filePath(QString::fromLatin1(name));
    };

    bool ok = true;
    ok &= Save(Render(50, StripHeight,
                      [](QPainter& p) {
                          DrawStrip(p, 50);
                          DrawClose(p);
                          DrawHide(p);
                          DrawMenu(p);
                      }),
               path("bitmaps/140.png"));
    ok &=
        Save(Render(5, StripHeight, [](QPainter& p) { DrawStrip(p, 5); }), path("bitmaps/141.png"));
    ok &= Save(Render(20, StripHeight,
                      [](QPainter& p) {
                          DrawStrip(p, 20);
                          DrawRefresh(p);
                      }),
               path("bitmaps/147.png"));
    ok &= Save(Render(64, 64, [](QPainter& p) { DrawMark(p, 64, 2, 10); }), path("icons/128.png"));
    ok &=
        Save(Render(32, 32, [](QPainter& p) { DrawMark(p, 32, 1, 5); }), path("icons/128-32.png"));
    ok &=
        Save(Render(16, 16, [](QPainter& p) { DrawMark(p, 16, 0, 3); }), path("icons/128-16.png"));
    ok &= Save(Render(22, 22, [](QPainter& p) { DrawMark(p, 22, 0, 4); }), path("icons/142.png"));

    // The desktop's icon theme: every size the menus and docks ask for, and a scalable one.
    const char* theme = "hicolor";
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(QLatin1String(theme)).arg(size);
        if (!resources.mkpath(folder)) {
            std::fprintf(stderr, "cannot create %s\n", qPrintable(folder));
            return 1;
        }
        const MarkFrame frame = FrameFor(size);
        ok &= Save(Render(size, size,
                          [&](QPainter& p) { DrawMark(p, size, frame.inset, frame.corner); }),
                   resources.filePath(folder + QStringLiteral("/com.quorvane.Vemo.png")));
    }
    const QString scalable = QStringLiteral("%1/scalable/apps").arg(QLatin1String(theme));
    QFile svg(resources.filePath(scalable + QStringLiteral("/com.quorvane.Vemo.svg")));
    if (!resources.mkpath(scalable) || !svg.open(QIODevice::WriteOnly) ||
        svg.write(MarkSvg(256)) < 0) {
        std::fprintf(stderr, "cannot write the scalable icon\n");
        ok = false;
    }
    return ok ? 0 : 1;
}
