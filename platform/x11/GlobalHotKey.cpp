#include "platform/x11/GlobalHotKey.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <utility>

#include "platform/KeyMapping.h"

// After the Qt headers: the X headers define macros that clash with Qt names.
#include <X11/keysym.h>
#include <xcb/xcb.h>
#include <xcb/xproto.h>

namespace vemo {
namespace {

// Modifier bits of an event state; the pointer buttons and the keyboard group are above them.
constexpr std::uint16_t ModifierBits = 0xFF;

// Repeats of a held key follow each other at the repeat rate (every 20 to 100 ms, after a first
// delay of well under a second). A press while the key is still marked held but longer ago than
// this is a fresh press whose release was lost, so a lost release cannot disable the key for good.
constexpr std::uint32_t MaxRepeatGapMs = 2000;

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using XcbReply = std::unique_ptr<T, FreeDeleter>;

xcb_connection_t* QtConnection() {
    if (qGuiApp == nullptr) {
        return nullptr;
    }
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr) {
        return nullptr;
    }
    xcb_connection_t* connection = x11->connection();
    if (connection == nullptr || xcb_connection_has_error(connection) != 0) {
        return nullptr;
    }
    return connection;
}

xcb_window_t RootWindowOf(xcb_connection_t* connection) {
    // Qt's connection is opened on the display's default screen, which is the first root.
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    return screens.rem > 0 ? screens.data->root : xcb_window_t{XCB_WINDOW_NONE};
}

// The first key code that carries the symbol, searching the first column of every key before the
// second (as the X library does), so that a symbol found unshifted on one key wins over the same
// symbol shifted on another. 0 when no key carries it.
std::uint8_t FindKeyCode(xcb_connection_t* connection, X11KeySym keySym) {
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const int first = setup->min_keycode;
    const int count = setup->max_keycode - setup->min_keycode + 1;
    if (count <= 0) {
        return 0;
    }
    XcbReply<xcb_get_keyboard_mapping_reply_t> reply(xcb_get_keyboard_mapping_reply(
        connection,
        xcb_get_keyboard_mapping(connection, setup->min_keycode, static_cast<std::uint8_t>(count)),
        nullptr));
    if (!reply) {
        return 0;
    }
    const int perKey = reply->keysyms_per_keycode;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply.get());
    const int total = xcb_get_keyboard_mapping_keysyms_length(reply.get());
    for (int column = 0; column < perKey; ++column) {
        for (int key = 0; key < count; ++key) {
            const int index = key * perKey + column;
            if (index < total && syms[index] == keySym) {
                return static_cast<std::uint8_t>(first + key);
            }
        }
    }
    return 0;
}

// The modifier bit that Num Lock sets on this server (usually Mod2); 0 when none.
std::uint16_t NumLockMask(xcb_connection_t* connection) {
    const std::uint8_t numLock = FindKeyCode(connection, XK_Num_Lock);
    if (numLock == 0) {
        return 0;
    }
    XcbReply<xcb_get_modifier_mapping_reply_t> reply(
        xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr));
    if (!reply) {
        return 0;
    }
    const int perModifier = reply->keycodes_per_modifier;
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(reply.get());
    const int total = xcb_get_modifier_mapping_keycodes_length(reply.get());
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int i = 0; i < perModifier; ++i) {
            const int index = modifier * perModifier + i;
            if (index < total && codes[index] == numLock) {
                return static_cast<std::uint16_t>(1u << modifier);
            }
        }
    }
    return 0;
}

// Key and modifier combinations grabbed by this process. The server lets a client grab a
// combination it already holds, and one ungrab then ends both, so the process refuses a second
// registration of the same combination instead, as Windows does.
std::vector<std::pair<std::uint8_t, std::uint16_t>>& CombinationsInUse() {
    static std::vector<std::pair<std::uint8_t, std::uint16_t>> combinations;
    return combinations;
}

}  // namespace

GlobalHotKey::GlobalHotKey(QObject* parent) : QObject(parent) {}

GlobalHotKey::~GlobalHotKey() {
    UnregisterAll();
    if (filterInstalled_ && QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
}

bool GlobalHotKey::Register(int id, int modifiers, int virtualKey) {
    Unregister(id);
    if (!IsValidHotKeyModifiers(modifiers)) {
        return false;
    }
    const X11KeySym keySym = VirtualKeyToKeySym(virtualKey);
    if (keySym == 0) {
        return false;
    }
    xcb_connection_t* connection = QtConnection();
    if (connection == nullptr) {
        return false;
    }
    if (connection_ != nullptr && connection_ != connection) {
        // A new application on another connection: the old grabs went with the old one.
        for (const Grab& old : grabs_) {
            ForgetCombination(old);
        }
        grabs_.clear();
    }
    connection_ = connection;
    rootWindow_ = RootWindowOf(connection);
    if (rootWindow_ == XCB_WINDOW_NONE) {
        return false;
    }

    Grab grab;
    grab.id = id;
    grab.keyCode = FindKeyCode(connection, keySym);
    if (grab.keyCode == 0) {
        return false;
    }
    grab.mask = static_cast<std::uint16_t>(ModifiersToX11Mask(modifiers));
    grab.ignoredMask = static_cast<std::uint16_t>(XCB_MOD_MASK_LOCK | NumLockMask(connection));
    grab.ignoredMask &= static_cast<std::uint16_t>(~grab.mask);

    auto& inUse = CombinationsInUse();
    const std::pair<std::uint8_t, std::uint16_t> combination(grab.keyCode, grab.mask);
    if (std::find(inUse.begin(), inUse.end(), combination) != inUse.end()) {
        return false;
    }

    // The key must work with Caps Lock and Num Lock in either state: one grab for each.
    const std::uint16_t lock = XCB_MOD_MASK_LOCK & grab.ignoredMask;
    const std::uint16_t numLock = grab.ignoredMask & static_cast<std::uint16_t>(~lock);
    const std::uint16_t variants[4] = {0, lock, numLock,
                                       static_cast<std::uint16_t>(lock | numLock)};
    std::array<xcb_void_cookie_t, 4> cookies{};
    std::array<std::uint16_t, 4> masks{};
    int sent = 0;
    for (std::uint16_t variant : variants) {
        const std::uint16_t mask = grab.mask | variant;
        if (std::find(masks.begin(), masks.begin() + sent, mask) != masks.begin() + sent) {
            continue;  // Num Lock not mapped: the variants coincide
        }
        masks[sent] = mask;
        cookies[sent] = xcb_grab_key_checked(connection, 0, rootWindow_, mask, grab.keyCode,
                                             XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        ++sent;
    }
    bool refused = false;
    for (int i = 0; i < sent; ++i) {
        XcbReply<xcb_generic_error_t> error(xcb_request_check(connection, cookies[i]));
        if (error) {
            refused = true;  // BadAccess: another client holds this combination
        } else {
            grab.grabbedMasks[grab.grabbedCount++] = masks[i];
        }
    }
    if (refused) {
        ReleaseGrab(grab);
        return false;
    }

    if (!filterInstalled_ && QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->installNativeEventFilter(this);
        filterInstalled_ = true;
    }
    inUse.push_back(combination);
    grabs_.push_back(grab);
    return true;
}

void GlobalHotKey::Unregister(int id) {
    auto it =
        std::find_if(grabs_.begin(), grabs_.end(), [id](const Grab& g) { return g.id == id; });
    if (it == grabs_.end()) {
        return;
    }
    const Grab grab = *it;
    grabs_.erase(it);
    ForgetCombination(grab);
    ReleaseGrab(grab);
}

void GlobalHotKey::ForgetCombination(const Grab& grab) {
    auto& inUse = CombinationsInUse();
    auto used = std::find(inUse.begin(), inUse.end(), std::make_pair(grab.keyCode, grab.mask));
    if (used != inUse.end()) {
        inUse.erase(used);
    }
}

void GlobalHotKey::UnregisterAll() {
    while (!grabs_.empty()) {
        Unregister(grabs_.back().id);
    }
}

bool GlobalHotKey::IsRegistered(int id) const {
    return std::any_of(grabs_.begin(), grabs_.end(), [id](const Grab& g) { return g.id == id; });
}

void GlobalHotKey::ReleaseGrab(const Grab& grab) {
    // Once the application has closed its connection, the server has dropped the grabs itself.
    if (connection_ == nullptr || QtConnection() != connection_) {
        return;
    }
    for (int i = 0; i < grab.grabbedCount; ++i) {
        xcb_ungrab_key(connection_, grab.keyCode, rootWindow_, grab.grabbedMasks[i]);
    }
    // A round trip: once it returns the server has released the key, so another program (or
    // the next registration) can take it at once.
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

bool GlobalHotKey::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (grabs_.empty() || message == nullptr || eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const std::uint8_t type = event->response_type & 0x7F;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE) {
        return false;
    }
    const auto* key = static_cast<const xcb_key_press_event_t*>(message);
    if (key->event != rootWindow_) {
        return false;
    }
    if (type == XCB_KEY_PRESS) {
        return HandleKeyPress(key->detail, key->state, key->time);
    }
    return HandleKeyRelease(key->detail, key->time);
}

bool GlobalHotKey::HandleKeyPress(std::uint8_t keyCode, std::uint16_t state, std::uint32_t time) {
    for (Grab& grab : grabs_) {
        if (grab.keyCode != keyCode) {
            continue;
        }
        const std::uint16_t held =
            state & ModifierBits & static_cast<std::uint16_t>(~grab.ignoredMask);
        if (held != grab.mask) {
            continue;
        }
        // Auto-repeat shows either as presses without releases (detectable auto-repeat) or as a
        // release and a press carrying the same server time.
        const bool repeat = (grab.held && time - grab.lastPressTime < MaxRepeatGapMs) ||
                            (!grab.held && grab.releaseSeen && time == grab.lastReleaseTime);
        grab.held = true;
        grab.lastPressTime = time;
        if (!repeat) {
            const int id = grab.id;
            emit activated(id);  // a slot may unregister: grab is not touched after this
        }
        return true;
    }
    return false;
}

bool GlobalHotKey::HandleKeyRelease(std::uint8_t keyCode, std::uint32_t time) {
    bool ours = false;
    for (Grab& grab : grabs_) {
        if (grab.keyCode == keyCode && grab.held) {
            grab.held = false;
            grab.releaseSeen = true;
            grab.lastReleaseTime = time;
            ours = true;
        }
    }
    return ours;
}

}  // namespace vemo
