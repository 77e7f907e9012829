#include "app/WindowLayout.h"

#include <algorithm>
#include <cstdio>

#include "app/RefreshCycle.h"
#include "settings/TickerSettings.h"

namespace vemo {

namespace {

constexpr PixelRect CloseArea{2, 0, 12, TitleStripHeight};
constexpr PixelRect HideArea{19, 0, 11, TitleStripHeight};
constexpr PixelRect MenuArea{35, 0, 11, TitleStripHeight};

// One coordinate of KeepInside: `start` and `size` of the window, `first` and `end` (one past the
// last pixel) of the area.
int PullInside(int start, int size, int first, int end) {
    if (start + size <= end) {
        return start;
    }
    return std::min(start, std::max(end - size, first));
}

}  // namespace

CellSize CellSizeFor(int fontSize) {
    switch (fontSize) {
        case 0:
            return {17, 53};
        case 2:
            return {19, 62};
        case 3:
            return {20, 63};
        case 4:
            return {21, 71};
        default:
            return {18, 55};
    }
}

TableLayout LayoutForTable(int rows, int cols, int fontSize, std::uint32_t pageContent) {
    const CellSize cell = CellSizeFor(fontSize);
    rows = rows == 0 ? 1 : rows;
    cols = cols == 0 ? 1 : cols;
    int extra = 35;
    if ((pageContent & showRefreshTime) != 0) {
        extra = cell.rowHeight + 35;
    }
    if ((pageContent & showHeader) != 0) {
        extra += cell.rowHeight + 2;
    }
    TableLayout layout{};
    layout.width = 20 + cell.columnWidth * cols;
    layout.height = cell.rowHeight * rows + extra;
    const int w = layout.width;
    const int h = layout.height;
    layout.browser = {0, TitleStripHeight, w, h - 30};
    layout.noticeLine = {5, h - 15, w - 5, 15};
    layout.loadingIndicator = {0, TitleStripHeight, w, h - 30};
    layout.filler = {50, 0, w - 70, TitleStripHeight};
    layout.refreshButton = {w - 20, 0, 20, TitleStripHeight};
    return layout;
}

PixelPoint RestoredPosition(int savedLeft, int savedTop, PixelPoint centred, int screenWidth,
                            int screenHeight) {
    PixelPoint position = centred;
    if (savedLeft > 0 && savedLeft < screenWidth) {
        position.x = savedLeft;
    }
    if (savedTop > 0 && savedTop < screenHeight) {
        position.y = savedTop;
    }
    return position;
}

PixelPoint KeepInside(PixelPoint chosen, int width, int height, const PixelRect& area) {
    return {PullInside(chosen.x, width, area.x, area.x + area.width),
            PullInside(chosen.y, height, area.y, area.y + area.height)};
}

PixelRect StripButtonArea(StripArea area, int windowWidth) {
    switch (area) {
        case StripArea::Close:
            return CloseArea;
        case StripArea::Hide:
            return HideArea;
        case StripArea::Menu:
            return MenuArea;
        case StripArea::Refresh:
            return {windowWidth - 20, 0, 20, TitleStripHeight};
        default:
            return {0, 0, 0, 0};
    }
}

StripArea HitTestStrip(int x, int y, int windowWidth) {
    if (y < 0 || y >= TitleStripHeight || x < 0 || x >= windowWidth) {
        return StripArea::None;
    }
    if (HideArea.Contains(x, y)) {
        return StripArea::Hide;
    }
    if (MenuArea.Contains(x, y)) {
        return StripArea::Menu;
    }
    if (CloseArea.Contains(x, y)) {
        return StripArea::Close;
    }
    if (StripButtonArea(StripArea::Refresh, windowWidth).Contains(x, y)) {
        return StripArea::Refresh;
    }
    return StripArea::Drag;
}

const char* StripCaption(StripArea area) {
    switch (area) {
        case StripArea::Close:
            return "关闭";
        case StripArea::Hide:
            return "隐藏";
        case StripArea::Menu:
            return "菜单";
        case StripArea::Refresh:
            return "刷新";
        default:
            return nullptr;
    }
}

std::string StripTipText(StripArea area, std::uint32_t secondsSinceRefresh, int failedAttemptTime,
                         const std::string& missingCodes) {
    const char* caption = StripCaption(area);
    if (caption == nullptr) {
        return {};
    }
    std::string text = caption;
    if (area != StripArea::Refresh) {
        return text;
    }
    // Why a click may do nothing, and that the quotes on screen are old: each in brackets after
    // the caption.
    std::string clauses;
    if (secondsSinceRefresh < MinSecondsBetweenRefreshes) {
        clauses += "距上次刷新不到 " + std::to_string(MinSecondsBetweenRefreshes) + " 秒";
    }
    if (failedAttemptTime >= 0) {
        char when[16];
        std::snprintf(when, sizeof when, "%02d:%02d:%02d", failedAttemptTime / 3600 % 24,
                      failedAttemptTime / 60 % 60, failedAttemptTime % 60);
        clauses += clauses.empty() ? "" : "；";
        clauses += when;
        clauses += " 刷新失败，行情未更新";
    }
    if (!missingCodes.empty()) {
        clauses += clauses.empty() ? "" : "；";
        clauses += "没有行情: " + missingCodes;
    }
    if (!clauses.empty()) {
        text += "(" + clauses + ")";
    }
    return text;
}

}  // namespace vemo
