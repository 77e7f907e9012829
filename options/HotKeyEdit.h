#pragma once

#include <QLineEdit>

namespace vemo {

// The capture field of the show/hide hot key. It records one key with the modifiers held with
// it and reports them as the Windows control does: a virtual-key code and HOTKEYF_* flags
// (HOTKEYF_EXT for the keys Windows sends as extended keys). Backspace or Delete alone clears it
// ("无"); Tab moves on; Enter alone is left to the page, so it presses the page's default button.
class CHotKeyEdit : public QLineEdit {
    Q_OBJECT

  public:
    explicit CHotKeyEdit(QWidget* parent = nullptr);

    void SetHotKey(int virtualKey, int flags);
    int VirtualKey() const { return virtualKey_; }
    int Flags() const { return flags_; }

    // "Ctrl + Shift + Alt + S", the modifiers in the order Windows shows them; "无" when empty.
    static QString HotKeyText(int virtualKey, int flags);

  signals:
    void hotKeyChanged();

  protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void ShowValue();

    int virtualKey_ = 0;
    int flags_ = 0;
};

}  // namespace vemo
