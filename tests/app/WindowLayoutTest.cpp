#include <gtest/gtest.h>

#include <cstring>

#include "app/WindowLayout.h"
#include "settings/TickerSettings.h"

namespace vemo {
namespace {

TEST(WindowLayoutTest, EveryFontSizeWithHeaderAndTimeRows) {
    const std::uint32_t content = showRefreshTime | showHeader;
    struct Expected {
        int fontSize;
        int width;
        int height;
    };
    // width 20 + column x 3, height row x 2 + (row + 35) + (row + 2)
    const Expected cases[] = {{0, 179, 105}, {1, 185, 109}, {2, 206, 113}, {3, 209, 117},
                              {4, 233, 121}, {7, 185, 109}, {-1, 185, 109}};
    for (const Expected& e : cases) {
        const TableLayout layout = LayoutForTable(2, 3, e.fontSize, content);
        EXPECT_EQ(layout.width, e.width) << "font size " << e.fontSize;
        EXPECT_EQ(layout.height, e.height) << "font size " << e.fontSize;
    }
}

TEST(WindowLayoutTest, ExampleOfThreeRowsFourColumns) {
    const TableLayout layout = LayoutForTable(3, 4, 1, showRefreshTime | showHeader);
    EXPECT_EQ(layout.width, 240);
    EXPECT_EQ(layout.height, 127);
    EXPECT_EQ(layout.browser, (PixelRect{0, 15, 240, 97}));
    EXPECT_EQ(layout.loadingIndicator, (PixelRect{0, 15, 240, 97}));
    EXPECT_EQ(layout.noticeLine, (PixelRect{5, 112, 235, 15}));
    EXPECT_EQ(layout.filler, (PixelRect{50, 0, 170, 15}));
    EXPECT_EQ(layout.refreshButton, (PixelRect{220, 0, 20, 15}));
}

TEST(WindowLayoutTest, SmallestTableAndEmptyTable) {
    const TableLayout layout = LayoutForTable(1, 1, 4, 0);
    EXPECT_EQ(layout.width, 91);
    EXPECT_EQ(layout.height, 56);
    EXPECT_EQ(layout.browser, (PixelRect{0, 15, 91, 26}));
    const TableLayout empty = LayoutForTable(0, 0, 4, 0);
    EXPECT_EQ(empty.width, 91);
    EXPECT_EQ(empty.height, 56);
}

TEST(WindowLayoutTest, SavedPositionCountsOnlyStrictlyInsideTheScreen) {
    const PixelPoint centred{540, 400};
    EXPECT_EQ(RestoredPosition(321, 123, centred, 1280, 1024), (PixelPoint{321, 123}));
    EXPECT_EQ(RestoredPosition(1, 1, centred, 1280, 1024), (PixelPoint{1, 1}));
    EXPECT_EQ(RestoredPosition(1279, 1023, centred, 1280, 1024), (PixelPoint{1279, 1023}));
    // 0, the screen's own width and height, and anything beyond are not on the screen.
    EXPECT_EQ(RestoredPosition(0, 0, centred, 1280, 1024), centred);
    EXPECT_EQ(RestoredPosition(1280, 1024, centred, 1280, 1024), centred);
    EXPECT_EQ(RestoredPosition(-5, 5000, centred, 1280, 1024), centred);
    // Each coordinate on its own.
    EXPECT_EQ(RestoredPosition(1280, 123, centred, 1280, 1024), (PixelPoint{540, 123}));
    EXPECT_EQ(RestoredPosition(321, 1024, centred, 1280, 1024), (PixelPoint{321, 400}));
}

TEST(WindowLayoutTest, AWindowBeyondTheScreenMovesUpAndLeftJustEnough) {
    const PixelRect area{0, 24, 1280, 776};  // a panel above
    // Inside, or touching the edges: stays.
    EXPECT_EQ(KeepInside({100, 100}, 185, 163, area), (PixelPoint{100, 100}));
    EXPECT_EQ(KeepInside({1095, 637}, 185, 163, area), (PixelPoint{1095, 637}));
    // One pixel over the bottom, or a 30-row list low on the screen.
    EXPECT_EQ(KeepInside({100, 638}, 185, 163, area), (PixelPoint{100, 637}));
    EXPECT_EQ(KeepInside({1200, 700}, 185, 613, area), (PixelPoint{1095, 187}));
    // Taller than the area: as far up as the area allows, not past its top.
    EXPECT_EQ(KeepInside({100, 500}, 185, 900, area), (PixelPoint{100, 24}));
    // Never down or right, even when the window starts above or left of the area.
    EXPECT_EQ(KeepInside({-50, 5}, 185, 163, area), (PixelPoint{-50, 5}));
    EXPECT_EQ(KeepInside({-50, 10}, 1300, 900, area), (PixelPoint{-50, 10}));
    // An area that does not start at 0 (a second screen).
    EXPECT_EQ(KeepInside({2500, 100}, 185, 163, PixelRect{1280, 0, 1280, 1024}),
              (PixelPoint{2375, 100}));
}

TEST(WindowLayoutTest, StripAreasAreHalfOpen) {
    const int w = 185;
    EXPECT_EQ(HitTestStrip(1, 5, w), StripArea::Drag);
    EXPECT_EQ(HitTestStrip(2, 0, w), StripArea::Close);
    EXPECT_EQ(HitTestStrip(13, 14, w), StripArea::Close);
    EXPECT_EQ(HitTestStrip(14, 5, w), StripArea::Drag);
    EXPECT_EQ(HitTestStrip(19, 5, w), StripArea::Hide);
    EXPECT_EQ(HitTestStrip(29, 5, w), StripArea::Hide);
    EXPECT_EQ(HitTestStrip(30, 5, w), StripArea::Drag);
    EXPECT_EQ(HitTestStrip(35, 5, w), StripArea::Menu);
    EXPECT_EQ(HitTestStrip(45, 5, w), StripArea::Menu);
    EXPECT_EQ(HitTestStrip(46, 5, w), StripArea::Drag);
    EXPECT_EQ(HitTestStrip(w - 21, 5, w), StripArea::Drag);
    EXPECT_EQ(HitTestStrip(w - 20, 5, w), StripArea::Refresh);
    EXPECT_EQ(HitTestStrip(w - 1, 14, w), StripArea::Refresh);
    EXPECT_EQ(HitTestStrip(5, 15, w), StripArea::None);
    EXPECT_EQ(HitTestStrip(w - 1, 15, w), StripArea::None);
}

TEST(WindowLayoutTest, RefreshTipNamesTheFiveSecondRule) {
    EXPECT_EQ(StripTipText(StripArea::Refresh, 4, -1), "刷新(距上次刷新不到 5 秒)");
    EXPECT_EQ(StripTipText(StripArea::Refresh, 5, -1), "刷新");
    EXPECT_EQ(StripTipText(StripArea::Close, 0, -1), "关闭");
    EXPECT_EQ(StripTipText(StripArea::Hide, 0, -1), "隐藏");
    EXPECT_EQ(StripTipText(StripArea::Menu, 0, -1), "菜单");
    EXPECT_EQ(StripTipText(StripArea::Drag, 0, -1), "");
    // The buttons are named by their captions, without the refresh button's clauses.
    EXPECT_STREQ(StripCaption(StripArea::Refresh), "刷新");
    EXPECT_EQ(StripCaption(StripArea::Drag), nullptr);
}

TEST(WindowLayoutTest, RefreshTipSaysWhenTheLastRefreshFailed) {
    const int failed = 14 * 3600 + 5 * 60 + 2;
    EXPECT_EQ(StripTipText(StripArea::Refresh, 30, failed), "刷新(14:05:02 刷新失败，行情未更新)");
    EXPECT_EQ(StripTipText(StripArea::Refresh, 0, failed),
              "刷新(距上次刷新不到 5 秒；14:05:02 刷新失败，行情未更新)");
    EXPECT_EQ(StripTipText(StripArea::Refresh, 30, 0), "刷新(00:00:00 刷新失败，行情未更新)");
    // Codes the answer held no quote for come last.
    EXPECT_EQ(StripTipText(StripArea::Refresh, 30, -1, "999999"), "刷新(没有行情: 999999)");
    EXPECT_EQ(StripTipText(StripArea::Refresh, 0, failed, "999999, 1B0009"),
              "刷新(距上次刷新不到 5 秒；14:05:02 刷新失败，行情未更新；没有行情: 999999, 1B0009)");
    // The other areas keep their tips.
    EXPECT_EQ(StripTipText(StripArea::Hide, 0, failed, "999999"), "隐藏");
    EXPECT_EQ(StripTipText(StripArea::Drag, 0, failed), "");
}

}  // namespace
}  // namespace vemo
