#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/DesktopCheck.h"

namespace vemo {
namespace {

const std::string NoDisplay = "VEMO 需要图形桌面 (DISPLAY 未设置)";

// An X server that answers on ":0" only; remembers whom it was asked about.
struct FakeX11 {
    std::vector<std::string> asked;
    std::function<bool(const std::string&)> Probe() {
        return [this](const std::string& display) {
            asked.push_back(display);
            return display == ":0";
        };
    }
};

TEST(DesktopCheckTest, NoSessionAtAllGivesOneClearLine) {
    FakeX11 x11;
    EXPECT_EQ(MissingDesktopMessage({}, x11.Probe()), NoDisplay);
    EXPECT_EQ(MissingDesktopMessage({"xcb", "", ""}, x11.Probe()), NoDisplay);
    EXPECT_EQ(MissingDesktopMessage({"xcb;wayland", "", ""}, x11.Probe()), NoDisplay);
    EXPECT_EQ(MissingDesktopMessage({"wayland", "", ""}, x11.Probe()),
              "VEMO 需要图形桌面 (WAYLAND_DISPLAY 未设置)");
    // A Wayland display alone serves only when Qt may use Wayland.
    EXPECT_EQ(MissingDesktopMessage({"xcb", "", "wayland-0"}, x11.Probe()), NoDisplay);
    EXPECT_TRUE(x11.asked.empty());
}

TEST(DesktopCheckTest, ADisplayThatAnswersOrAnotherPlatformGoesOn) {
    FakeX11 x11;
    EXPECT_EQ(MissingDesktopMessage({"", ":0", ""}, x11.Probe()), "");
    EXPECT_EQ(MissingDesktopMessage({"xcb", ":0", ""}, x11.Probe()), "");
    EXPECT_EQ(MissingDesktopMessage({"", "", "wayland-0"}, x11.Probe()), "");
    EXPECT_EQ(MissingDesktopMessage({"wayland;xcb", "", "wayland-0"}, x11.Probe()), "");
    EXPECT_EQ(MissingDesktopMessage({"wayland-egl", "", "wayland-0"}, x11.Probe()), "");
    // Tests and tools name a platform that needs no desktop; they are left alone.
    EXPECT_EQ(MissingDesktopMessage({"offscreen", "", ""}, x11.Probe()), "");
    EXPECT_EQ(MissingDesktopMessage({"vnc:size=800x600", "", ""}, x11.Probe()), "");
    EXPECT_EQ(x11.asked, (std::vector<std::string>{":0", ":0"}));
}

TEST(DesktopCheckTest, ADisplayWithoutAServerIsNamed) {
    FakeX11 x11;
    EXPECT_EQ(MissingDesktopMessage({"", ":9", ""}, x11.Probe()),
              "VEMO 无法连接图形桌面 (DISPLAY=:9)");
    // Qt may still reach Wayland, so X11 is not asked.
    EXPECT_EQ(MissingDesktopMessage({"", ":9", "wayland-0"}, x11.Probe()), "");
    EXPECT_EQ(x11.asked, std::vector<std::string>{":9"});
}

TEST(DesktopCheckTest, AnXServerBesideWaylandIsTheOneAskedFor) {
    FakeX11 x11;
    EXPECT_EQ(PlatformToAskFor({"", ":0", "wayland-0"}, x11.Probe()), "xcb");
    EXPECT_EQ(PlatformToAskFor({"", ":0", ""}, x11.Probe()), "xcb");
    // A platform the user names stands, and so does Qt's choice without a working X server.
    EXPECT_EQ(PlatformToAskFor({"wayland", ":0", "wayland-0"}, x11.Probe()), "");
    EXPECT_EQ(PlatformToAskFor({"offscreen", ":0", ""}, x11.Probe()), "");
    EXPECT_EQ(PlatformToAskFor({"", ":9", "wayland-0"}, x11.Probe()), "");
    EXPECT_EQ(PlatformToAskFor({"", "", "wayland-0"}, x11.Probe()), "");
    EXPECT_EQ(x11.asked, (std::vector<std::string>{":0", ":0", ":9"}));
}

}  // namespace
}  // namespace vemo
