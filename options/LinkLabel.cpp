#include "options/LinkLabel.h"

#include <QEnterEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace vemo {

namespace {
constexpr int FocusMargin = 2;
}

CLinkLabel::CLinkLabel(const QString& text, QWidget* parent)
    : QAbstractButton(parent), linkColour_(QColor::fromRgb(RestColour)) {
    setText(text);
    setAccessibleName(text);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize CLinkLabel::sizeHint() const {
    const QSize text = fontMetrics().size(Qt::TextSingleLine, this->text());
    return text + QSize(2 * FocusMargin, 2 * FocusMargin);
}

void CLinkLabel::SetLinkColour(QRgb colour) {
    const QColor next = QColor::fromRgb(colour);
    // Painted anew only when the colour changes, so moving over the link does not flicker.
    if (next == linkColour_) {
        return;
    }
    linkColour_ = next;
    ++colourChanges_;
    update();
}

void CLinkLabel::enterEvent(QEnterEvent* event) {
    SetLinkColour(HoverColour);
    QAbstractButton::enterEvent(event);
}

void CLinkLabel::leaveEvent(QEvent* event) {
    SetLinkColour(RestColour);
    QAbstractButton::leaveEvent(event);
}

void CLinkLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(linkColour_);
    painter.setFont(font());
    const QRect area = rect().adjusted(FocusMargin, FocusMargin, -FocusMargin, -FocusMargin);
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect();
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

}  // namespace vemo
