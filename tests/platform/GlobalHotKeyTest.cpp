#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QGuiApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "platform/x11/GlobalHotKey.h"
#include "platform/x11/X11Platform.h"
#include "platform/KeyMapping.h"

// After the Qt headers: the X headers define macros that clash with Qt names.
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <xcb/xproto.h>

namespace vemo {
namespace {

constexpr int ShowHideId = 1001;
constexpr int VkS = 0x53;
constexpr int VkD = 0x44;

// Another X client, as another program that wants the same hot key would be.
class OtherClient {
  public:
    OtherClient() : display_(XOpenDisplay(nullptr)) {}
    ~OtherClient() {
        if (display_ != nullptr) {
            XCloseDisplay(display_);
        }
    }
    OtherClient(const OtherClient&) = delete;
    OtherClient& operator=(const OtherClient&) = delete;

    bool Connected() const { return display_ != nullptr; }
    unsigned long Root() const { return DefaultRootWindow(display_); }
    unsigned CodeOf(KeySym sym) const { return XKeysymToKeycode(display_, sym); }

    // Whether the server lets this client grab the key with exactly these modifiers.
    bool Grab(KeySym sym, unsigned mask) {
        refused_ = false;
        XErrorHandler previous = XSetErrorHandler(&OtherClient::OnError);
        XGrabKey(display_, static_cast<int>(CodeOf(sym)), mask, Root(), False, GrabModeAsync,
                 GrabModeAsync);
        XSync(display_, False);
        XSetErrorHandler(previous);
        return !refused_;
    }
    void Ungrab(KeySym sym, unsigned mask) {
        XUngrabKey(display_, static_cast<int>(CodeOf(sym)), mask, Root());
        XSync(display_, False);
    }
    // Grabs and releases the key with every Caps Lock and Num Lock state; true when all of them
    // were free.
    bool AllLockStatesFree(KeySym sym, unsigned mask) {
        for (unsigned locks : {0u, X11LockMask, NumLock(), X11LockMask | NumLock()}) {
            if (!Grab(sym, mask | locks)) {
                return false;
            }
            Ungrab(sym, mask | locks);
        }
        return true;
    }
    // Whether every Caps Lock and Num Lock state of the key is taken.
    bool AllLockStatesTaken(KeySym sym, unsigned mask) {
        for (unsigned locks : {0u, X11LockMask, NumLock(), X11LockMask | NumLock()}) {
            if (Grab(sym, mask | locks)) {
                Ungrab(sym, mask | locks);
                return false;
            }
        }
        return true;
    }

  private:
    static int OnError(Display*, XErrorEvent* error) {
        if (error->error_code == BadAccess) {
            refused_ = true;
        }
        return 0;
    }
    // Xvfb's keyboard puts Num Lock on Mod2.
    static unsigned NumLock() { return Mod2Mask; }

    static inline bool refused_ = false;
    Display* display_;
};

// Takes the links QDesktopServices would hand to a browser.
class LinkCatcher : public QObject {
    Q_OBJECT

  public:
    QList<QUrl> opened;

  public slots:
    void Open(const QUrl& url) { opened << url; }
};

bool Xdotool(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// Waits for the given number of activations in total, and a little longer to catch extra ones.
void SettleActivations(QSignalSpy& spy, int expected) {
    for (int i = 0; i < 30 && spy.count() < expected; ++i) {
        spy.wait(100);
    }
    QTest::qWait(300);
}

class X11HotKey : public ::testing::Test {
  protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != QStringLiteral("xcb")) {
            GTEST_SKIP() << "needs an X server (runs under xvfb-run)";
        }
        ASSERT_TRUE(other_.Connected());
    }

    OtherClient other_;
};

TEST_F(X11HotKey, AltSActivatesOnlyWithExactlyAlt) {
    GlobalHotKey hotKey;
    QSignalSpy spy(&hotKey, &GlobalHotKey::activated);
    ASSERT_TRUE(hotKey.Register(ShowHideId, ModAlt, VkS));
    EXPECT_TRUE(hotKey.IsRegistered(ShowHideId));

    ASSERT_TRUE(Xdotool({"key", "alt+s"}));
    SettleActivations(spy, 1);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), ShowHideId);

    ASSERT_TRUE(Xdotool({"key", "s", "ctrl+alt+s", "shift+alt+s", "alt+d"}));
    SettleActivations(spy, 1);
    EXPECT_EQ(spy.count(), 1);

    ASSERT_TRUE(Xdotool({"key", "alt+s"}));
    SettleActivations(spy, 2);
    EXPECT_EQ(spy.count(), 2);
}

TEST_F(X11HotKey, WorksWithCapsLockAndNumLockOn) {
    GlobalHotKey hotKey;
    QSignalSpy spy(&hotKey, &GlobalHotKey::activated);
    ASSERT_TRUE(hotKey.Register(ShowHideId, ModControl | ModShift, VkD));
    EXPECT_TRUE(other_.AllLockStatesTaken(XK_d, X11ControlMask | X11ShiftMask));

    ASSERT_TRUE(Xdotool({"key", "Caps_Lock", "ctrl+shift+d", "Num_Lock", "ctrl+shift+d",
                         "Caps_Lock", "ctrl+shift+d", "Num_Lock"}));
    SettleActivations(spy, 3);
    EXPECT_EQ(spy.count(), 3);
}

TEST_F(X11HotKey, CombinationHeldByAnotherProgramFails) {
    ASSERT_TRUE(other_.Grab(XK_s, X11Mod1Mask));
    GlobalHotKey hotKey;
    EXPECT_FALSE(hotKey.Register(ShowHideId, ModAlt, VkS));
    EXPECT_FALSE(hotKey.IsRegistered(ShowHideId));

    other_.Ungrab(XK_s, X11Mod1Mask);
    EXPECT_TRUE(hotKey.Register(ShowHideId, ModAlt, VkS));
}

TEST_F(X11HotKey, RefusedRegistrationLeavesNoGrabBehind) {
    // The other program holds only the Caps Lock state; the plain state would be granted.
    ASSERT_TRUE(other_.Grab(XK_s, X11Mod1Mask | X11LockMask));
    GlobalHotKey hotKey;
    EXPECT_FALSE(hotKey.Register(ShowHideId, ModAlt, VkS));
    other_.Ungrab(XK_s, X11Mod1Mask | X11LockMask);
    EXPECT_TRUE(other_.AllLockStatesFree(XK_s, X11Mod1Mask));
}

TEST_F(X11HotKey, UnregisterAndDestructionReleaseTheKey) {
    auto hotKey = std::make_unique<GlobalHotKey>();
    QSignalSpy spy(hotKey.get(), &GlobalHotKey::activated);
    ASSERT_TRUE(hotKey->Register(ShowHideId, ModAlt, VkS));
    hotKey->Unregister(ShowHideId);
    EXPECT_FALSE(hotKey->IsRegistered(ShowHideId));
    EXPECT_TRUE(other_.AllLockStatesFree(XK_s, X11Mod1Mask));
    ASSERT_TRUE(Xdotool({"key", "alt+s"}));
    SettleActivations(spy, 0);
    EXPECT_EQ(spy.count(), 0);

    ASSERT_TRUE(hotKey->Register(ShowHideId, ModAlt, VkS));
    ASSERT_TRUE(hotKey->Register(2, ModWin, VkD));
    EXPECT_FALSE(other_.AllLockStatesFree(XK_d, X11Mod4Mask));
    hotKey.reset();
    EXPECT_TRUE(other_.AllLockStatesFree(XK_s, X11Mod1Mask));
    EXPECT_TRUE(other_.AllLockStatesFree(XK_d, X11Mod4Mask));
}

TEST_F(X11HotKey, RegisteringAnIdAgainReplacesItsKey) {
    GlobalHotKey hotKey;
    QSignalSpy spy(&hotKey, &GlobalHotKey::activated);
    ASSERT_TRUE(hotKey.Register(ShowHideId, ModAlt, VkS));
    ASSERT_TRUE(hotKey.Register(ShowHideId, ModAlt, VkD));
    EXPECT_TRUE(other_.AllLockStatesFree(XK_s, X11Mod1Mask));

    ASSERT_TRUE(Xdotool({"key", "alt+s", "alt+d"}));
    SettleActivations(spy, 1);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), ShowHideId);

    // The same combination twice in one program is refused, as on Windows.
    GlobalHotKey second;
    EXPECT_FALSE(second.Register(7, ModAlt, VkD));
    EXPECT_FALSE(hotKey.Register(8, ModAlt, VkD));
    EXPECT_TRUE(hotKey.IsRegistered(ShowHideId));
}

TEST_F(X11HotKey, KeysWithoutAnX11CounterpartFail) {
    GlobalHotKey hotKey;
    EXPECT_FALSE(hotKey.Register(ShowHideId, ModAlt, 0x07));
    EXPECT_FALSE(hotKey.Register(ShowHideId, ModAlt, 0));
    EXPECT_FALSE(hotKey.Register(ShowHideId, 0x10, VkS));
    EXPECT_FALSE(hotKey.IsRegistered(ShowHideId));
    EXPECT_TRUE(other_.AllLockStatesFree(XK_s, X11Mod1Mask));
}

TEST_F(X11HotKey, HeldKeyActivatesOnce) {
    GlobalHotKey hotKey;
    QSignalSpy spy(&hotKey, &GlobalHotKey::activated);
    ASSERT_TRUE(hotKey.Register(ShowHideId, ModAlt, VkS));

    ASSERT_TRUE(Xdotool({"keydown", "alt+s", "sleep", "1.5", "keyup", "s", "keyup", "alt"}));
    SettleActivations(spy, 1);
    EXPECT_EQ(spy.count(), 1);

    // The server's two ways of reporting a held key, fed directly: presses without releases
    // (detectable auto-repeat), and release-press pairs carrying the same time.
    xcb_key_press_event_t event{};
    event.detail = static_cast<xcb_keycode_t>(other_.CodeOf(XK_s));
    event.root = static_cast<xcb_window_t>(other_.Root());
    event.event = event.root;
    event.state = XCB_MOD_MASK_1;
    const QByteArray type("xcb_generic_event_t");
    qintptr result = 0;
    auto send = [&](std::uint8_t response, std::uint32_t time) {
        event.response_type = response;
        event.time = time;
        return hotKey.nativeEventFilter(type, &event, &result);
    };
    spy.clear();
    EXPECT_TRUE(send(XCB_KEY_PRESS, 100000));
    EXPECT_TRUE(send(XCB_KEY_PRESS, 100600));
    EXPECT_TRUE(send(XCB_KEY_PRESS, 100630));
    EXPECT_TRUE(send(XCB_KEY_RELEASE, 100700));
    EXPECT_EQ(spy.count(), 1);
    EXPECT_TRUE(send(XCB_KEY_PRESS, 101000));
    EXPECT_TRUE(send(XCB_KEY_RELEASE, 101600));
    EXPECT_TRUE(send(XCB_KEY_PRESS, 101600));
    EXPECT_TRUE(send(XCB_KEY_RELEASE, 101630));
    EXPECT_TRUE(send(XCB_KEY_PRESS, 101630));
    EXPECT_TRUE(send(XCB_KEY_RELEASE, 101700));
    EXPECT_EQ(spy.count(), 2);
    // A release that never came must not disable the key for good.
    EXPECT_TRUE(send(XCB_KEY_PRESS, 110000));
    EXPECT_TRUE(send(XCB_KEY_PRESS, 120000));
    EXPECT_EQ(spy.count(), 4);

    // Not ours: another window's events and other modifiers.
    event.event = event.root + 1;
    EXPECT_FALSE(send(XCB_KEY_PRESS, 130000));
    event.event = event.root;
    event.state = XCB_MOD_MASK_1 | XCB_MOD_MASK_CONTROL;
    EXPECT_FALSE(send(XCB_KEY_PRESS, 140000));
    EXPECT_EQ(spy.count(), 4);
}

// The desktop interface over the grab: the stored key in Qt's words, one hot key at a time.
TEST_F(X11HotKey, ThePlatformGrabsTheQtCombinationAndReplacesIt) {
    X11Platform platform;
    QSignalSpy spy(&platform, &DesktopPlatform::hotKeyPressed);
    ASSERT_TRUE(platform.RegisterHotKey(QKeyCombination(Qt::AltModifier, Qt::Key_S)));
    ASSERT_TRUE(Xdotool({"key", "alt+s", "ctrl+alt+s"}));
    SettleActivations(spy, 1);
    EXPECT_EQ(spy.count(), 1);

    ASSERT_TRUE(platform.RegisterHotKey(
        QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_Plus)));
    EXPECT_TRUE(other_.Grab(XK_s, X11Mod1Mask));  // Alt+S is free again
    other_.Ungrab(XK_s, X11Mod1Mask);
    ASSERT_TRUE(Xdotool({"key", "ctrl+KP_Add"}));
    SettleActivations(spy, 2);
    EXPECT_EQ(spy.count(), 2);

    platform.UnregisterHotKey();
    EXPECT_TRUE(other_.Grab(XK_KP_Add, X11ControlMask));
    other_.Ungrab(XK_KP_Add, X11ControlMask);
    // A key without a virtual-key code cannot be had, and leaves nothing grabbed.
    EXPECT_FALSE(platform.RegisterHotKey(QKeyCombination(Qt::AltModifier, Qt::Key_Dead_Grave)));
}

TEST(X11PlatformLinks, OnlyWebAddressesAreOpened) {
    // Every scheme is caught here, so nothing is really started.
    LinkCatcher catcher;
    for (const char* scheme : {"http", "https", "file", "javascript"}) {
        QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &catcher, "Open");
    }
    X11Platform platform;
    EXPECT_FALSE(platform.OpenLink(QUrl(QStringLiteral("file:///etc/passwd"))));
    EXPECT_FALSE(platform.OpenLink(QUrl(QStringLiteral("javascript:alert(1)"))));
    EXPECT_FALSE(platform.OpenLink(QUrl()));
    EXPECT_TRUE(catcher.opened.isEmpty());
    EXPECT_TRUE(platform.OpenLink(QUrl(QStringLiteral("http://www.quorvane.com/"))));
    EXPECT_TRUE(platform.OpenLink(QUrl(QStringLiteral("https://www.quorvane.com/a"))));
    EXPECT_EQ(catcher.opened.size(), 2);
    for (const char* scheme : {"http", "https", "file", "javascript"}) {
        QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }
}

TEST(GlobalHotKeyOffscreen, RegistrationFailsWithoutAnX11Display) {
    if (QGuiApplication::platformName() == QStringLiteral("xcb")) {
        GTEST_SKIP() << "runs on the offscreen platform";
    }
    GlobalHotKey hotKey;
    EXPECT_FALSE(hotKey.Register(ShowHideId, ModAlt, VkS));
    EXPECT_FALSE(hotKey.IsRegistered(ShowHideId));
    hotKey.Unregister(ShowHideId);
}

}  // namespace
}  // namespace vemo

#include "GlobalHotKeyTest.moc"
