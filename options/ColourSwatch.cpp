#include "options/ColourSwatch.h"

#include <qdrawutil.h>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include "settings/TickerSettings.h"

namespace vemo {

QColor FromColorRef(std::uint32_t value) {
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

std::uint32_t ToColorRef(const QColor& colour) {
    return static_cast<std::uint32_t>(colour.red()) |
           (static_cast<std::uint32_t>(colour.green()) << 8) |
           (static_cast<std::uint32_t>(colour.blue()) << 16);
}

CColourSwatch::CColourSwatch(const QString& caption, Kind kind, QWidget* parent)
    : QAbstractButton(parent), kind_(kind) {
    setText(caption);
    setAccessibleName(caption);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
}

void CColourSwatch::SetColour(std::uint32_t colour) {
    colour_ = colour;
    update();
}

QColor CColourSwatch::TextColour() const {
    if (kind_ == Kind::Text) {
        return FromColorRef(colour_);
    }
    // A background above the default gives a negative difference; its low 24 bits still make
    // a colour that stands out from the fill.
    return FromColorRef((DefaultBackgroundColor - colour_) & 0xFFFFFFu);
}

QColor CColourSwatch::FillColour() const {
    return kind_ == Kind::Background ? FromColorRef(colour_) : QColor();
}

QSize CColourSwatch::sizeHint() const {
    const QSize text = fontMetrics().size(Qt::TextSingleLine, this->text());
    return QSize(std::max(text.width() + 16, 44), text.height() + 10);
}

void CColourSwatch::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor fill = FillColour();
    const QBrush brush = fill.isValid() ? QBrush(fill) : palette().brush(QPalette::Window);
    qDrawShadePanel(&painter, rect(), palette(), true, 1, &brush);
    painter.setPen(TextColour());
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text());
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect().adjusted(3, 3, -3, -3);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

}  // namespace vemo
