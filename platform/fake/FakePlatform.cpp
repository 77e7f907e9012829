#include "platform/fake/FakePlatform.h"

#include <QBitmap>
#include <QWidget>

namespace vemo {

bool FakePlatform::RegisterHotKey(QKeyCombination key) {
    ++hotKeyRegistrations;
    hotKey = refuseHotKey ? QKeyCombination(Qt::Key(0)) : key;
    return !refuseHotKey && key.key() != Qt::Key(0);
}

void FakePlatform::UnregisterHotKey() {
    hotKey = QKeyCombination(Qt::Key(0));
}

bool FakePlatform::BecomePrimaryInstance() {
    primary = !anotherInstanceRuns;
    return primary;
}

bool FakePlatform::WakePrimaryInstance() {
    ++wakeRequestsSent;
    return anotherInstanceRuns;
}

void FakePlatform::DressToolWindow(QWindow&, const char* instanceName, const char* className) {
    dressedWindows << QString::fromUtf8(instanceName) + QLatin1Char('/') +
                          QString::fromUtf8(className);
}

void FakePlatform::SetColourKeyMask(QWidget& window, const QBitmap& mask) {
    ++masksSet;
    window.setMask(mask);
}

void FakePlatform::ClearColourKeyMask(QWidget& window) {
    window.clearMask();
}

void FakePlatform::FlushWindowSystem() {
    ++flushes;
}

std::size_t FakePlatform::TrimMemory() {
    ++trims;
    return 0;
}

int FakePlatform::SetStartAtLogOn(int enable) {
    startAtLogOnCalls << enable;
    if (startAtLogOnResult == 0) {
        startsAtLogOn = enable != 0;
    }
    return startAtLogOnResult;
}

bool FakePlatform::StartsAtLogOn() {
    return startsAtLogOn;
}

bool FakePlatform::OnWayland() const {
    return onWayland;
}

bool FakePlatform::OpenLink(const QUrl& url) {
    if (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")) {
        return false;
    }
    openedLinks << url;
    return true;
}

void FakePlatform::PressHotKey() {
    if (hotKey.key() != Qt::Key(0)) {
        emit hotKeyPressed();
    }
}

void FakePlatform::StartAgain() {
    if (primary) {
        emit wakeRequested();
    }
}

}  // namespace vemo
