#include "app/SeeThrough.h"

#include <QBitmap>
#include <QCursor>
#include <QImage>
#include <QTimerEvent>
#include <QWidget>

#include "platform/Platform.h"
#include "settings/TickerSettings.h"

namespace vemo {

SeeThroughMode::SeeThroughMode(Window& window, DesktopPlatform& platform)
    : window_(window), platform_(platform) {}

void SeeThroughMode::UpdateHoverTimer(std::uint32_t optionFlags) {
    // A hidden window has no strip to show: polling it would only grab it for nothing.
    if (transparentMode_ != 0 && (optionFlags & titleBarOnHover) != 0 &&
        window_.Widget().isVisible()) {
        hoverTimer_.start(HoverTimerMs, this);
    } else {
        hoverTimer_.stop();
    }
}

void SeeThroughMode::Toggle(std::uint32_t optionFlags) {
    QWidget& widget = window_.Widget();
    if (transparentMode_ != 0) {
        transparentMode_ = 0;
        window_.SetTextAntialiasing(true);
        window_.SetStripVisible(true);
        hoverTimer_.stop();
        platform_.ClearColourKeyMask(widget);
        // What lay outside the mask was not painted while it was on: without a repaint the
        // old page shows there beside the new one.
        RepaintWhole();
        platform_.FlushWindowSystem();
        return;
    }
    transparentMode_ = 1;
    titleStripShown_ = 0;
    window_.SetTextAntialiasing(false);
    window_.SetStripVisible(false);
    UpdateHoverTimer(optionFlags);
    UpdateMask();
}

void SeeThroughMode::UpdateMask() {
    if (transparentMode_ == 0) {
        return;
    }
    QWidget& widget = window_.Widget();
    // Every pixel of exactly the key colour becomes see-through; the table's text stays.
    const QImage image = widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage keyed = image.createMaskFromColor(window_.KeyColour().rgb(), Qt::MaskInColor);
    platform_.SetColourKeyMask(widget, QBitmap::fromImage(keyed));
    // Painting is clipped to the mask in force: what the new mask uncovers is drawn now.
    RepaintWhole();
    platform_.FlushWindowSystem();
}

void SeeThroughMode::RepaintWhole() {
    QWidget& widget = window_.Widget();
    // A repaint of the window alone leaves the browser's view as it was in the window's buffer.
    widget.repaint();
    for (QWidget* child : widget.findChildren<QWidget*>()) {
        if (child->isVisible()) {
            child->repaint();
        }
    }
}

void SeeThroughMode::timerEvent(QTimerEvent* event) {
    if (event->timerId() != hoverTimer_.timerId()) {
        QObject::timerEvent(event);
        return;
    }
    const WindowRect rect = window_.ScreenRect();
    const QPoint cursor = QCursor::pos();
    const int inside = cursor.x() >= rect.left && cursor.x() < rect.right &&
                       cursor.y() >= rect.top && cursor.y() < rect.bottom;
    if (inside == titleStripShown_) {
        return;
    }
    titleStripShown_ = inside;
    window_.SetStripVisible(inside != 0);
    UpdateMask();
}

}  // namespace vemo
