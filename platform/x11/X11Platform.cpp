#include "platform/x11/X11Platform.h"

#include <QBitmap>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QUrl>
#include <QWidget>

#include "platform/KeyMapping.h"
#include "platform/x11/AutoStart.h"
#include "platform/x11/AutoStartState.h"
#include "platform/x11/GlobalHotKey.h"
#include "platform/x11/MemoryTrim.h"
#include "platform/x11/SingleInstance.h"
#include "platform/x11/X11Window.h"

namespace vemo {

namespace {

// The grab's id; the program has one hot key.
constexpr int HotKeyId = 1001;

}  // namespace

X11Platform::X11Platform(QObject* parent)
    : DesktopPlatform(parent), hotKey_(new GlobalHotKey(this)) {
    connect(hotKey_, &GlobalHotKey::activated, this, [this](int id) {
        if (id == HotKeyId) {
            emit hotKeyPressed();
        }
    });
}

X11Platform::~X11Platform() = default;

bool X11Platform::RegisterHotKey(QKeyCombination key) {
    int modifiers = 0;
    int virtualKey = 0;
    if (!QtToHotKey(key, modifiers, virtualKey)) {
        hotKey_->Unregister(HotKeyId);
        return false;
    }
    return hotKey_->Register(HotKeyId, modifiers, virtualKey);
}

void X11Platform::UnregisterHotKey() {
    hotKey_->Unregister(HotKeyId);
}

bool X11Platform::BecomePrimaryInstance() {
    if (instance_ == nullptr) {
        instance_ = new SingleInstance(this);
        // The message a later start sends is the wake-up; nothing else comes that way.
        connect(instance_, &SingleInstance::messageReceived, this,
                [this](int message, qint64, qint64 lParam) {
                    if (message == WakeUpMessage && lParam == WakeUpLParam) {
                        emit wakeRequested();
                    }
                });
    }
    return instance_->IsPrimary() || instance_->TryBecomePrimary();
}

bool X11Platform::WakePrimaryInstance() {
    return SingleInstance::WakePrimary();
}

void X11Platform::DressToolWindow(QWindow& window, const char* instanceName,
                                  const char* className) {
    SetWindowClass(window, instanceName, className);
    SetSkipTaskbar(window);
}

void X11Platform::SetColourKeyMask(QWidget& window, const QBitmap& mask) {
    // Qt hands a widget's mask to the X Shape extension, which needs no compositor.
    window.setMask(mask);
}

void X11Platform::ClearColourKeyMask(QWidget& window) {
    window.clearMask();
}

void X11Platform::FlushWindowSystem() {
    vemo::FlushWindowSystem();
}

std::size_t X11Platform::TrimMemory() {
    return TrimWorkingSet();
}

int X11Platform::SetStartAtLogOn(int enable) {
    return SetAutoStart(enable);
}

bool X11Platform::StartsAtLogOn() {
    return AutoStartRegistered();
}

bool X11Platform::OnWayland() const {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

bool X11Platform::OpenLink(const QUrl& url) {
    if (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")) {
        return false;
    }
    return QDesktopServices::openUrl(url);
}

std::unique_ptr<DesktopPlatform> CreateDesktopPlatform() {
    return std::make_unique<X11Platform>();
}

bool DisplayAnswers(const std::string& display) {
    return X11DisplayAnswers(display);
}

}  // namespace vemo
