#pragma once

#include <functional>
#include <string>

namespace vemo {

// What decides whether the program can show a window: the platform Qt is told to use and the
// displays of the session.
struct DesktopEnvironment {
    std::string qpaPlatform;     // QT_QPA_PLATFORM
    std::string display;         // DISPLAY
    std::string waylandDisplay;  // WAYLAND_DISPLAY
};

DesktopEnvironment DesktopEnvironmentOfProcess();

// The one line the program prints before it ends with status 1 when no window can be shown
// here, or an empty text when it can go on. A platform named in QT_QPA_PLATFORM other than the
// desktop ones (offscreen, for instance) needs no display. `x11Reachable` tells whether the X
// server of a DISPLAY value answers; it is asked only when X11 is the one way to a desktop.
std::string MissingDesktopMessage(const DesktopEnvironment& environment,
                                  const std::function<bool(const std::string&)>& x11Reachable);

}  // namespace vemo
