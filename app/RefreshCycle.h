#pragma once

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
#include <mutex>
#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/WallClockWait.h"
#include "quotes/QuotePage.h"
#include "settings/TickerSettings.h"

namespace vemo {

// Values of refreshState, the one channel from the interface thread to the refresh thread.
enum RefreshState : int {
    idle = 0,
    refreshRequested = 1,
    settingsChanged = 2,
};

// A manual refresh within this many seconds of the last render is dropped.
inline constexpr std::uint32_t MinSecondsBetweenRefreshes = 5;

// Everything the refresh cycle needs from outside it: time, waiting and the window. The real
// host passes window work on to the interface thread; tests drive the cycle with a fake.
class RefreshHost {
  public:
    virtual ~RefreshHost() = default;
    // Sleeps until the wall clock reaches `until` (none: no time-out) or Wake is called, or the
    // clock is set; false when the program is ending and the loop must stop.
    virtual bool WaitUntil(std::optional<WallClock::time_point> until) = 0;
    // Ends the refresh thread's current or next wait; called from any thread.
    virtual void Wake() = 0;
    virtual bool Running() = 0;
    virtual WallClock::time_point Now() = 0;
    // The local date and time of a moment on the wall clock.
    virtual std::tm LocalTime(WallClock::time_point at) = 0;
    virtual bool WindowVisible() = 0;
    // A consistent copy of the live settings, never a half-replaced record.
    virtual TickerSettings Settings() = 0;
    // Rebuilds the request URL (on the calling thread) and applies z-order and hover timer. The
    // cycle calls it with the record it then renders.
    virtual void ApplyWindowSettings(const TickerSettings& settings) = 0;
    virtual void ShowLoadingIndicator() = 0;
    // One refresh of the page (with failover, and the last quotes kept when every service
    // fails); the report says what it showed.
    virtual RefreshReport Render(const TickerSettings& settings, std::span<char> page, int& rows,
                                 int& cols) = 0;
    virtual void FitWindowToTable(const TickerSettings& settings, int rows, int cols) = 0;
    // Writes the page file, then shows the page from memory and hides the loading indicator.
    virtual void Publish(std::string_view page) = 0;
};

// When the exchanges do not trade and timed refreshes make no request. Both rules are on in the
// program; switching one off shows what it saves.
struct MarketRules {
    // No timed refresh from 11:31 to 12:59.
    bool middayBreak = true;
    // A successful answer after 09:35 whose newest quote is dated before today shows a holiday:
    // no timed refresh until the next day.
    bool holidays = true;
};

// What decides when the next timed refresh is due.
struct TimedRefreshInputs {
    WallClock::time_point now;
    std::tm localNow{};  // the local date and time of `now`
    // The last render; none before the first.
    std::optional<WallClock::time_point> lastRender;
    std::int32_t refreshSeconds = 0;
    bool visible = false;
    MarketRules rules;
    int holiday = 0;  // the date found to be a holiday, as YYYYMMDD; 0 for none
};

// The moment the next timed refresh is due: one period after the last render (at once when that
// has passed), moved on to the next start of trading when it falls outside trading hours, in the
// midday break or on the holiday. None when no timed refresh can come: a hidden window, or a
// period below 10 seconds (0 is 不刷新). Local days are taken as 24 hours long; where a clock
// change makes that wrong, the refresh thread wakes early or late by the change and works the
// moment out again.
std::optional<WallClock::time_point> NextTimedRefresh(const TimedRefreshInputs& in);

class RefreshCycle {
  public:
    enum class Outcome { Rendered, Waited, Stopped };

    explicit RefreshCycle(RefreshHost& host, MarketRules rules = {});

    // One turn of the loop: render when something is due (a settings change, a request, the
    // timed refresh), else wait once for the next due moment or a wake-up.
    Outcome RunOnce();
    // Turns until the host stops it.
    void Run();

    // Set by the interface thread, through Request: refreshRequested or settingsChanged.
    std::atomic<int> refreshState{settingsChanged};
    // Asks for a render and wakes the refresh thread. A refresh request never replaces a pending
    // settings change, whose render serves the request as well.
    void Request(RefreshState state);
    // Whole seconds since the last render, by the wall clock; for a tip on the interface thread.
    std::uint32_t SecondsSinceRefresh() const;
    // While the page shows quotes that the last refresh could not renew: the local time of that
    // refresh as seconds since midnight; -1 otherwise. Read by the interface thread for a tip.
    std::atomic<int> failedAttemptTime{-1};

    // The listed codes the last answer held no quote for ("A, B"); kept while a failed refresh
    // shows that answer again. Read by the interface thread for a tip.
    std::string MissingCodes() const;

    // The timed refresh period for a refreshSeconds value; 0 for none.
    static int PeriodSeconds(std::int32_t refreshSeconds);
    // Whether a timed refresh may run at this local time: weekdays, 09:00 to 15:59, and, with
    // the midday break, not from 11:31 to 12:59.
    static bool WithinTradingHours(const std::tm& now, bool middayBreak = true);
    // Whether the cycle has found today (of `now`) to be a holiday.
    bool HolidayFound(const std::tm& now) const;

  private:
    void NoteAnswer(const RefreshReport& report, const std::tm& now);
    Outcome Render(int reason);

    RefreshHost& host_;
    MarketRules rules_;
    std::vector<char> page_;  // one page buffer for the thread's whole life
    int prevRows_ = 0;
    int prevCols_ = 0;
    bool layoutPending_ = false;
    std::optional<TickerSettings> applied_;  // the record ApplyWindowSettings last had
    int holiday_ = 0;  // the date found to be a holiday, as YYYYMMDD; 0 for none
    mutable std::mutex missingMutex_;
    std::string missingCodes_;
    // The last render on the wall clock, in nanoseconds since the epoch; NoRender before the
    // first. Written by the refresh thread, read for the tip.
    static constexpr std::int64_t NoRender = INT64_MIN;
    std::atomic<std::int64_t> lastRender_{NoRender};
    // A request seen within MinSecondsBetweenRefreshes of the last render: it is dropped when
    // that time is up, unless a render serves it first.
    bool tooSoonRequest_ = false;
};

}  // namespace vemo
