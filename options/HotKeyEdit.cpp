#include "options/HotKeyEdit.h"

#include <QKeyEvent>
#include <QKeySequence>

#include "platform/KeyMapping.h"

namespace vemo {

namespace {

int FlagsOf(Qt::KeyboardModifiers modifiers) {
    // The control knows no Windows-key flag, so the Meta key is not recorded.
    return ModifiersToHotKeyFlags(QtToModifiers(modifiers));
}

QString ModifierText(int flags) {
    QString text;
    if ((flags & HotKeyFlagControl) != 0) {
        text += QStringLiteral("Ctrl + ");
    }
    if ((flags & HotKeyFlagShift) != 0) {
        text += QStringLiteral("Shift + ");
    }
    if ((flags & HotKeyFlagAlt) != 0) {
        text += QStringLiteral("Alt + ");
    }
    return text;
}

bool IsModifierKey(int key) {
    switch (key) {
        case Qt::Key_Shift:
        case Qt::Key_Control:
        case Qt::Key_Alt:
        case Qt::Key_AltGr:
        case Qt::Key_Meta:
        case Qt::Key_Super_L:
        case Qt::Key_Super_R:
        case Qt::Key_Hyper_L:
        case Qt::Key_Hyper_R:
            return true;
        default:
            return false;
    }
}

}  // namespace

CHotKeyEdit::CHotKeyEdit(QWidget* parent) : QLineEdit(parent) {
    // Keys are recorded, not typed: no input method, no text cursor, no editing menu.
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setReadOnly(true);
    setFocusPolicy(Qt::StrongFocus);
    ShowValue();
}

void CHotKeyEdit::SetHotKey(int virtualKey, int flags) {
    virtualKey_ = virtualKey;
    flags_ = flags;
    ShowValue();
}

QString CHotKeyEdit::HotKeyText(int virtualKey, int flags) {
    if (virtualKey == 0 && (flags & ~HotKeyFlagExt) == 0) {
        return QStringLiteral("无");
    }
    QString key;
    if (virtualKey != 0) {
        const QKeyCombination qtKey = VirtualKeyToQtKey(virtualKey);
        key = qtKey.key() != Qt::Key(0)
                  ? QKeySequence(qtKey).toString(QKeySequence::NativeText)
                  : QStringLiteral("0x%1").arg(virtualKey, 2, 16, QLatin1Char('0')).toUpper();
    }
    return ModifierText(flags) + key;
}

void CHotKeyEdit::ShowValue() {
    setText(HotKeyText(virtualKey_, flags_));
}

bool CHotKeyEdit::event(QEvent* event) {
    // Every key the field takes is the field's, not a shortcut of the dialog; Tab and Enter
    // alone keep their usual meaning.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        if (!(plain && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter ||
                        key->key() == Qt::Key_Escape))) {
            event->accept();
            return true;
        }
    }
    return QLineEdit::event(event);
}

void CHotKeyEdit::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    const bool plain = (modifiers & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (IsModifierKey(key)) {
        // Shows what is held so far; the value changes only when a key comes with it.
        setText(ModifierText(FlagsOf(modifiers)));
        event->accept();
        return;
    }
    if (plain && (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape)) {
        event->ignore();
        return;
    }
    if (plain && (key == Qt::Key_Backspace || key == Qt::Key_Delete)) {
        SetHotKey(0, 0);
        emit hotKeyChanged();
        event->accept();
        return;
    }
    const int virtualKey = QtKeyToVirtualKey(event->keyCombination());
    if (virtualKey == 0) {
        event->accept();  // a key without a Windows code cannot be a hot key
        ShowValue();
        return;
    }
    int flags = FlagsOf(modifiers);
    if (IsExtendedVirtualKey(virtualKey)) {
        flags |= HotKeyFlagExt;
    }
    SetHotKey(virtualKey, flags);
    emit hotKeyChanged();
    event->accept();
}

void CHotKeyEdit::keyReleaseEvent(QKeyEvent* event) {
    // Modifiers let go without a key: back to the recorded value.
    if (IsModifierKey(event->key())) {
        // Whether the state still holds the key being let go differs between platforms.
        int held = FlagsOf(event->modifiers());
        if (event->key() == Qt::Key_Shift) {
            held &= ~HotKeyFlagShift;
        } else if (event->key() == Qt::Key_Control) {
            held &= ~HotKeyFlagControl;
        } else if (event->key() == Qt::Key_Alt) {
            held &= ~HotKeyFlagAlt;
        }
        if (held == 0) {
            ShowValue();
        } else {
            setText(ModifierText(held));
        }
    }
    event->accept();
}

void CHotKeyEdit::focusOutEvent(QFocusEvent* event) {
    ShowValue();
    QLineEdit::focusOutEvent(event);
}

void CHotKeyEdit::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    event->accept();
}

void CHotKeyEdit::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
}

void CHotKeyEdit::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
}

}  // namespace vemo
