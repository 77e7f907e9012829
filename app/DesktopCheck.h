#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

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

// The Qt platform the program asks for itself: "xcb" when QT_QPA_PLATFORM names none and the X
// server of DISPLAY answers, since only on X11 can the ticker place itself, stay on top, cut its
// colour-key mask and grab its hot key (beside a Wayland session, through XWayland); empty when
// Qt's own choice stands.
std::string PlatformToAskFor(const DesktopEnvironment& environment,
                             const std::function<bool(const std::string&)>& x11Reachable);

// Whether Qt runs on a Wayland compositor (platform "wayland", "wayland-egl", ...), which keeps
// the window's position, stacking, shape and the keyboard's global keys to itself.
bool IsWaylandPlatform(std::string_view platformName);

// What the ticker cannot do on a Wayland compositor, one line each for standard error.
const std::vector<std::string>& WaylandLimits();

}  // namespace vemo
