#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include "platform/Platform.h"

namespace vemo {

// A desktop that only remembers what it was asked, for tests: the windows run against it without
// grabbing keys, taking the instance lock or touching the user's autostart folder. The mask is
// given to the widget (Qt keeps it), so what a window would show can still be looked at.
class FakePlatform : public DesktopPlatform {
    Q_OBJECT

  public:
    using DesktopPlatform::DesktopPlatform;

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

    // The user presses the registered hot key: hotKeyPressed, when one is registered.
    void PressHotKey();
    // A later start: wakeRequested when this one is the primary instance.
    void StartAgain();

    // What the next calls answer.
    bool refuseHotKey = false;  // another program holds every combination
    bool anotherInstanceRuns = false;
    int startAtLogOnResult = 0;
    bool onWayland = false;
    bool startsAtLogOn = false;  // follows a successful SetStartAtLogOn

    // What was asked.
    QKeyCombination hotKey{Qt::Key(0)};  // Qt::Key(0) while none is registered
    int hotKeyRegistrations = 0;
    bool primary = false;
    int wakeRequestsSent = 0;
    // "instance/class" for every window dressed, in order.
    QStringList dressedWindows;
    int masksSet = 0;
    int flushes = 0;
    int trims = 0;
    QList<int> startAtLogOnCalls;
    QList<QUrl> openedLinks;
};

}  // namespace vemo
