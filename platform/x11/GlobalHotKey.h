#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <array>
#include <cstdint>
#include <vector>

struct xcb_connection_t;

namespace vemo {

// System-wide hot keys on X11: a passive key grab on the root window of Qt's own X connection,
// reported through Qt's native event filter. Lives on the interface thread, after the
// QGuiApplication has been created. Registration fails where Qt runs without an X11 display
// (offscreen, Wayland), for a key or modifier without an X11 counterpart, and when the server
// refuses a grab because another client holds the combination.
class GlobalHotKey : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT

  public:
    explicit GlobalHotKey(QObject* parent = nullptr);
    ~GlobalHotKey() override;

    GlobalHotKey(const GlobalHotKey&) = delete;
    GlobalHotKey& operator=(const GlobalHotKey&) = delete;

    // modifiers: MOD_* bits (ModAlt, ModControl, ModShift, ModWin); virtualKey: a Windows
    // virtual-key code. An id that is registered already is unregistered first. Returns false,
    // leaving nothing grabbed, when the key cannot be registered.
    bool Register(int id, int modifiers, int virtualKey);
    // Releases every grab of the id; an unknown id is ignored.
    void Unregister(int id);
    void UnregisterAll();
    bool IsRegistered(int id) const;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

  signals:
    // A fresh press of a registered key; the repeats of a held key do not count.
    void activated(int id);

  private:
    struct Grab {
        int id = 0;
        std::uint8_t keyCode = 0;
        std::uint16_t mask = 0;         // modifiers that must be held, Lock and Num Lock aside
        std::uint16_t ignoredMask = 0;  // Lock and Num Lock
        std::array<std::uint16_t, 4> grabbedMasks{};
        int grabbedCount = 0;
        bool held = false;
        bool releaseSeen = false;
        std::uint32_t lastPressTime = 0;
        std::uint32_t lastReleaseTime = 0;
    };

    void ReleaseGrab(const Grab& grab);
    static void ForgetCombination(const Grab& grab);
    bool HandleKeyPress(std::uint8_t keyCode, std::uint16_t state, std::uint32_t time);
    bool HandleKeyRelease(std::uint8_t keyCode, std::uint32_t time);

    std::vector<Grab> grabs_;
    xcb_connection_t* connection_ = nullptr;
    std::uint32_t rootWindow_ = 0;
    bool filterInstalled_ = false;
};

}  // namespace vemo
