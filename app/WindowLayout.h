#pragma once

#include <cstdint>
#include <string>

namespace vemo {

inline constexpr int TitleStripHeight = 15;

struct PixelRect {
    int x;
    int y;
    int width;
    int height;
    bool Contains(int px, int py) const {
        return px >= x && px < x + width && py >= y && py < y + height;
    }
    bool operator==(const PixelRect&) const = default;
};

struct CellSize {
    int rowHeight;
    int columnWidth;
};

// Row height and column width of the quote table for a font size index (0 to 4).
CellSize CellSizeFor(int fontSize);

// The ticker window fitted to a table: its size and its children in client pixels.
struct TableLayout {
    int width;
    int height;
    PixelRect browser;
    PixelRect noticeLine;
    PixelRect loadingIndicator;
    PixelRect filler;
    PixelRect refreshButton;
};

TableLayout LayoutForTable(int rows, int cols, int fontSize, std::uint32_t pageContent);

struct PixelPoint {
    int x;
    int y;
    bool operator==(const PixelPoint&) const = default;
};

// Where a window starts: each coordinate of the saved position is used only when it lies
// strictly between 0 and the screen's width (left) or height (top); otherwise the window keeps
// the coordinate of `centred`.
PixelPoint RestoredPosition(int savedLeft, int savedTop, PixelPoint centred, int screenWidth,
                            int screenHeight);

// Where a window of `width` x `height` whose top left corner the user put at `chosen` goes so that
// it lies inside `area` (its screen's available area): up and left just enough, never past the
// area's top or left edge, and never down or right.
PixelPoint KeepInside(PixelPoint chosen, int width, int height, const PixelRect& area);

// The parts of the title strip (the top 15 pixels of the window).
enum class StripArea { None, Close, Hide, Menu, Refresh, Drag };

// The hit area of a button of the strip (Close, Hide, Menu, Refresh) in a window `windowWidth`
// wide; an empty rectangle for the other areas.
PixelRect StripButtonArea(StripArea area, int windowWidth);

// What a point (client pixels) of a window `windowWidth` wide hits; None below the strip.
StripArea HitTestStrip(int x, int y, int windowWidth);

// The caption of a strip button (UTF-8), also its accessible name; nullptr for the other areas.
const char* StripCaption(StripArea area);

// The tool tip of a strip area (UTF-8), empty for none: the caption, and for the refresh button
// in brackets why a click does nothing while the last refresh is less than
// MinSecondsBetweenRefreshes old, and, while the page shows quotes that the last refresh could
// not renew, when that refresh failed (`failedAttemptTime`: its local time in seconds since
// midnight, else -1).
std::string StripTipText(StripArea area, std::uint32_t secondsSinceRefresh, int failedAttemptTime,
                         const std::string& missingCodes = {});

}  // namespace vemo
