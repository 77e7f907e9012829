#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

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

// Everything the refresh cycle needs from outside it: time, sleep and the window. The real
// host passes window work on to the interface thread; tests drive the cycle with a fake.
class RefreshHost {
  public:
    virtual ~RefreshHost() = default;
    // Sleeps; false when the program is ending and the loop must stop.
    virtual bool Sleep(std::chrono::milliseconds duration) = 0;
    virtual bool Running() = 0;
    virtual std::tm LocalNow() = 0;
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
    // Writes the page file, waits 10 ms, shows it and hides the loading indicator.
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

class RefreshCycle {
  public:
    enum class Outcome { Rendered, Skipped, Stopped };

    explicit RefreshCycle(RefreshHost& host, MarketRules rules = {});

    // One turn of the loop: wait for the period or a request, decide, render, fit, publish.
    Outcome RunOnce();
    // Turns until the host stops it.
    void Run();

    // Set by the interface thread, through Request: refreshRequested or settingsChanged.
    std::atomic<int> refreshState{settingsChanged};
    // Asks for a render. A refresh request never replaces a pending settings change, whose
    // render serves the request as well.
    void Request(RefreshState state);
    // Whole seconds slept since the last render; read by the interface thread for a tip.
    std::atomic<std::uint32_t> secondsSinceRefresh{0};
    // While the page shows quotes that the last refresh could not renew: the local time of that
    // refresh as seconds since midnight; -1 otherwise. Read by the interface thread for a tip.
    std::atomic<int> failedAttemptTime{-1};

    // The listed codes the last answer held no quote for ("A, B"); kept while a failed refresh
    // shows that answer again. Read by the interface thread for a tip.
    std::string MissingCodes() const;

    // The waiting period for a refreshSeconds value.
    static int PeriodSeconds(std::int32_t refreshSeconds);
    // Whether a timed refresh may run at this local time: weekdays, 09:00 to 15:59, and, with
    // the midday break, not from 11:31 to 12:59.
    static bool WithinTradingHours(const std::tm& now, bool middayBreak = true);
    // Whether the cycle has found today (of `now`) to be a holiday.
    bool HolidayFound(const std::tm& now) const;

  private:
    bool TimedRefreshAllowed(const std::tm& now) const;
    void NoteAnswer(const RefreshReport& report, const std::tm& now);

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
};

}  // namespace vemo
