#include "platform/x11/X11Window.h"

#include <xcb/xcb.h>
#include <QGuiApplication>
#include <QWindow>

#include <cstdlib>
#include <cstring>
#include <string>

namespace vemo {

namespace {

xcb_connection_t* X11Connection() {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    return x11 != nullptr ? x11->connection() : nullptr;
}

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

}  // namespace

bool X11DisplayAnswers(const std::string& display) {
    xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
    const bool answers = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return answers;
}

void SetSkipTaskbar(QWindow& window) {
    xcb_connection_t* connection = X11Connection();
    if (connection == nullptr) {
        return;
    }
    const auto id = static_cast<xcb_window_t>(window.winId());
    const xcb_atom_t state = Atom(connection, "_NET_WM_STATE");
    const xcb_atom_t skip[2] = {Atom(connection, "_NET_WM_STATE_SKIP_TASKBAR"),
                                Atom(connection, "_NET_WM_STATE_SKIP_PAGER")};
    if (state == XCB_ATOM_NONE || skip[0] == XCB_ATOM_NONE || skip[1] == XCB_ATOM_NONE) {
        return;
    }
    // Before the window is mapped the property itself counts; Qt keeps atoms it does not
    // manage when it writes its own.
    xcb_change_property(connection, XCB_PROP_MODE_APPEND, id, state, XCB_ATOM_ATOM, 32, 2, skip);
    // A mapped window asks the window manager.
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = id;
    message.type = state;
    message.data.data32[0] = 1;  // add
    message.data.data32[1] = skip[0];
    message.data.data32[2] = skip[1];
    message.data.data32[3] = 1;  // from a normal application
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    xcb_send_event(connection, 0, screen->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection);
}

void SetWindowClass(QWindow& window, const char* instanceName, const char* className) {
    xcb_connection_t* connection = X11Connection();
    if (connection == nullptr) {
        return;
    }
    // WM_CLASS holds the two names, each with its terminator.
    std::string value = instanceName;
    value += '\0';
    value += className;
    value += '\0';
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE,
                        static_cast<xcb_window_t>(window.winId()), XCB_ATOM_WM_CLASS,
                        XCB_ATOM_STRING, 8, static_cast<std::uint32_t>(value.size()), value.data());
    xcb_flush(connection);
}

void FlushWindowSystem() {
    if (xcb_connection_t* connection = X11Connection()) {
        xcb_flush(connection);
    }
}

}  // namespace vemo
