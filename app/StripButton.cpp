#include "app/StripButton.h"

namespace vemo {

StripButton::StripButton(const QString& name, QWidget* parent) : QAbstractButton(parent) {
    setObjectName(name);
    setText(name);
    setAccessibleName(name);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void StripButton::paintEvent(QPaintEvent*) {
    // The strip's bitmap below shows the symbol.
}

}  // namespace vemo
