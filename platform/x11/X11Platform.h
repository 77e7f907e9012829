#pragma once

#include <memory>

#include "platform/Platform.h"

namespace vemo {

class GlobalHotKey;
class SingleInstance;

// The desktop on X11: a passive key grab for the hot key, a lock file and local socket for the
// single instance, WM_CLASS and _NET_WM_STATE for the window, the X Shape mask (through Qt) for
// the see-through mode, an XDG autostart entry, and QDesktopServices for links.
class X11Platform : public DesktopPlatform {
    Q_OBJECT

  public:
    explicit X11Platform(QObject* parent = nullptr);
    ~X11Platform() override;

    bool RegisterHotKey(QKeyCombination key) override;
    void UnregisterHotKey() override;
    bool BecomePrimaryInstance() override;
    bool WakePrimaryInstance() override;
    void DressToolWindow(QWindow& window, const char* instanceName,
                         const char* className) override;
    void SetColourKeyMask(QWidget& window, const QBitmap& mask) override;
    void ClearColourKeyMask(QWidget& window) override;
    void FlushWindowSystem() override;
    std::size_t TrimMemory() override;
    int SetStartAtLogOn(int enable) override;
    bool StartsAtLogOn() override;
    bool OnWayland() const override;
    bool OpenLink(const QUrl& url) override;

  private:
    GlobalHotKey* hotKey_ = nullptr;
    SingleInstance* instance_ = nullptr;
};

}  // namespace vemo
