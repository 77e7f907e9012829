#include "options/PageKeys.h"

#include <QEvent>
#include <QKeyEvent>
#include <QWidget>

#include <algorithm>

namespace vemo {

PageKeyFilter::PageKeyFilter(QWidget* page, std::initializer_list<int> keys)
    : QObject(page), page_(page), keys_(keys) {
    page->installEventFilter(this);
    for (QWidget* child : page->findChildren<QWidget*>()) {
        child->installEventFilter(this);
    }
}

bool PageKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride) {
        return false;
    }
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || widget->window() != page_->window()) {
        return false;
    }
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (std::find(keys_.begin(), keys_.end(), key) == keys_.end()) {
        return false;
    }
    if (type == QEvent::ShortcutOverride) {
        // Claimed, so that no shortcut of the dialog takes the key before the press arrives.
        event->accept();
        return true;
    }
    return true;
}

}  // namespace vemo
