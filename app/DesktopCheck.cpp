#include "app/DesktopCheck.h"

#include <cstdlib>
#include <string_view>

namespace vemo {

namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

}  // namespace

DesktopEnvironment DesktopEnvironmentOfProcess() {
    return {Variable("QT_QPA_PLATFORM"), Variable("DISPLAY"), Variable("WAYLAND_DISPLAY")};
}

std::string MissingDesktopMessage(const DesktopEnvironment& environment,
                                  const std::function<bool(const std::string&)>& x11Reachable) {
    // Qt takes a list of platforms separated by ';', each perhaps with options after ':'.
    bool x11 = environment.qpaPlatform.empty();
    bool wayland = environment.qpaPlatform.empty();
    std::string_view list = environment.qpaPlatform;
    while (!list.empty()) {
        const std::size_t end = list.find(';');
        std::string_view name = list.substr(0, end);
        name = name.substr(0, name.find(':'));
        list = end == std::string_view::npos ? std::string_view() : list.substr(end + 1);
        if (name == "xcb") {
            x11 = true;
        } else if (name.starts_with("wayland")) {
            wayland = true;
        } else if (!name.empty()) {
            return {};  // a platform that needs no desktop session
        }
    }
    if (wayland && !environment.waylandDisplay.empty()) {
        return {};
    }
    if (x11 && !environment.display.empty()) {
        if (!x11Reachable || x11Reachable(environment.display)) {
            return {};
        }
        return "VEMO 无法连接图形桌面 (DISPLAY=" + environment.display + ")";
    }
    return x11 ? "VEMO 需要图形桌面 (DISPLAY 未设置)"
               : "VEMO 需要图形桌面 (WAYLAND_DISPLAY 未设置)";
}

std::string PlatformToAskFor(const DesktopEnvironment& environment,
                             const std::function<bool(const std::string&)>& x11Reachable) {
    if (environment.qpaPlatform.empty() && !environment.display.empty() && x11Reachable &&
        x11Reachable(environment.display)) {
        return "xcb";
    }
    return {};
}

bool IsWaylandPlatform(std::string_view platformName) {
    return platformName.starts_with("wayland");
}

const std::vector<std::string>& WaylandLimits() {
    static const std::vector<std::string> lines = {
        "VEMO: Wayland 桌面不允许窗口自定位置，位置由桌面决定",
        "VEMO: Wayland 桌面不允许窗口总在最前端",
        "VEMO: Wayland 桌面不支持透明 (颜色键)",
        "VEMO: Wayland 桌面不允许全局热键，请用托盘菜单显示窗口",
    };
    return lines;
}

}  // namespace vemo
