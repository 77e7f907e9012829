#pragma once

#include <QKeyCombination>
#include <QObject>

#include <cstddef>
#include <memory>
#include <string>

class QBitmap;
class QUrl;
class QWidget;
class QWindow;

namespace vemo {

// What the program asks of the desktop it runs on, in Qt's terms. The program holds one for its
// whole run (see CreateDesktopPlatform); tests hand the windows a fake. Lives on the interface
// thread.
class DesktopPlatform : public QObject {
    Q_OBJECT

  public:
    using QObject::QObject;
    ~DesktopPlatform() override = default;

    DesktopPlatform(const DesktopPlatform&) = delete;
    DesktopPlatform& operator=(const DesktopPlatform&) = delete;

    // The one system-wide hot key; registering again replaces it. False, with nothing held, when
    // the combination cannot be had (no such key here, or another program holds it).
    virtual bool RegisterHotKey(QKeyCombination key) = 0;
    virtual void UnregisterHotKey() = 0;

    // One running program per user. True when this process is to run (it may run unguarded
    // where no lock can be had); false when another instance runs, which then is to be woken.
    virtual bool BecomePrimaryInstance() = 0;
    // Asks the running instance to show itself; true when it got the request.
    virtual bool WakePrimaryInstance() = 0;

    // Gives a top-level window its class and keeps it out of task bars and pagers. Called for
    // every new native window of the widget: a change of its on-top flag makes a new one.
    virtual void DressToolWindow(QWindow& window, const char* instanceName,
                                 const char* className) = 0;

    // The see-through mode: only the set pixels of `mask` remain of the window, or all of it
    // again. Takes effect on screen at the next FlushWindowSystem.
    virtual void SetColourKeyMask(QWidget& window, const QBitmap& mask) = 0;
    virtual void ClearColourKeyMask(QWidget& window) = 0;
    // Sends what is queued for the display server now.
    virtual void FlushWindowSystem() = 0;

    // Gives memory back while the program is hidden; how many bytes the system took.
    virtual std::size_t TrimMemory() = 0;

    // Registers (enable non-zero) or removes the start at log-on: 0, or -1 when there is no
    // place for the entry, -2 when it could not be written or removed.
    virtual int SetStartAtLogOn(int enable) = 0;
    // Whether a start at log-on is registered now (the user may have removed it behind our back).
    virtual bool StartsAtLogOn() = 0;

    // True on a Wayland compositor, which keeps the window's place, stacking and shape and the
    // keyboard's global keys to itself.
    virtual bool OnWayland() const = 0;

    // Opens an http or https address in the user's web browser; false for any other address or
    // when it could not be handed over.
    virtual bool OpenLink(const QUrl& url) = 0;

  signals:
    void hotKeyPressed();
    // A later start of the program asks this one to show itself.
    void wakeRequested();
};

// The desktop the program runs on, defined by the backend the program links: X11, whose calls
// do nothing, or fail, where Qt runs on another platform.
std::unique_ptr<DesktopPlatform> CreateDesktopPlatform();

// Whether the display server named by `display` (a DISPLAY value) accepts a connection; defined
// by the backend too. Needs no Qt application.
bool DisplayAnswers(const std::string& display);

}  // namespace vemo
