#include "app/RefreshCycle.h"

#include <algorithm>
#include <cstring>

#include "quotes/QuotePage.h"

namespace vemo {

namespace {

int DateNumber(const std::tm& now) {
    return (now.tm_year + 1900) * 10000 + (now.tm_mon + 1) * 100 + now.tm_mday;
}

int SecondsOfDay(const std::tm& now) {
    return now.tm_hour * 3600 + now.tm_min * 60 + now.tm_sec;
}

// "YYYY-MM-DD" as YYYYMMDD; 0 for any other text.
int DateNumber(const char* date) {
    int number = 0;
    for (std::size_t i = 0; i < 10; ++i) {
        const char c = date[i];
        if (i == 4 || i == 7) {
            if (c != '-') {
                return 0;
            }
        } else if (c >= '0' && c <= '9') {
            number = number * 10 + (c - '0');
        } else {
            return 0;
        }
    }
    return date[10] == '\0' ? number : 0;
}

// Quotes are dated today within minutes of the 09:30 opening; before 09:35 yesterday's date is
// no sign of a holiday.
constexpr int HolidayCheckAfter = 9 * 3600 + 35 * 60;

using std::chrono::seconds;

// Trading windows of a weekday as seconds since local midnight, [start, end).
struct TradingWindow {
    int start;
    int end;
};
constexpr int Opening = 9 * 3600;
constexpr int BreakStart = 11 * 3600 + 31 * 60;
constexpr int BreakEnd = 13 * 3600;
constexpr int Closing = 16 * 3600;

// The date and weekday `days` after the date of `local`, whatever the time zone.
std::tm DayAfter(const std::tm& local, int days) {
    std::tm day{};
    day.tm_year = local.tm_year;
    day.tm_mon = local.tm_mon;
    day.tm_mday = local.tm_mday + days;
    day.tm_hour = 12;
    const std::time_t noon = timegm(&day);
    std::tm normalised{};
    gmtime_r(&noon, &normalised);
    return normalised;
}

}  // namespace

std::optional<WallClock::time_point> NextTimedRefresh(const TimedRefreshInputs& in) {
    const int period = RefreshCycle::PeriodSeconds(in.refreshSeconds);
    if (!in.visible || period == 0) {
        return std::nullopt;
    }
    WallClock::time_point due = in.now;
    if (in.lastRender && *in.lastRender + seconds(period) > in.now) {
        due = *in.lastRender + seconds(period);
    }
    const WallClock::time_point midnight = in.now - seconds(SecondsOfDay(in.localNow));
    const TradingWindow all[] = {{Opening, Closing}};
    const TradingWindow split[] = {{Opening, BreakStart}, {BreakEnd, Closing}};
    const std::span<const TradingWindow> windows =
        in.rules.middayBreak ? std::span<const TradingWindow>(split) : all;
    // A week and a day always hold a trading day after the one holiday the cycle knows.
    for (int days = 0; days <= 8; ++days) {
        const std::tm day = DayAfter(in.localNow, days);
        if (day.tm_wday == 0 || day.tm_wday == 6 ||
            (in.rules.holidays && in.holiday != 0 && DateNumber(day) == in.holiday)) {
            continue;
        }
        const WallClock::time_point dayStart = midnight + seconds(days * 86400);
        for (const TradingWindow& window : windows) {
            if (dayStart + seconds(window.end) > due) {
                return std::max(due, dayStart + seconds(window.start));
            }
        }
    }
    return std::nullopt;
}

RefreshCycle::RefreshCycle(RefreshHost& host, MarketRules rules)
    : host_(host), rules_(rules), page_(PageBufferSize, '\0') {}

int RefreshCycle::PeriodSeconds(std::int32_t refreshSeconds) {
    return refreshSeconds >= 10 ? refreshSeconds : 0;
}

bool RefreshCycle::WithinTradingHours(const std::tm& now, bool middayBreak) {
    const bool weekend = now.tm_wday == 0 || now.tm_wday == 6;
    if (weekend || now.tm_hour < 9 || now.tm_hour > 15) {
        return false;
    }
    // The exchanges break from 11:30 to 13:00; the 11:30 refresh still sees the morning's close.
    const bool lunch = (now.tm_hour == 11 && now.tm_min >= 31) || now.tm_hour == 12;
    return !(middayBreak && lunch);
}

bool RefreshCycle::HolidayFound(const std::tm& now) const {
    return holiday_ != 0 && holiday_ == DateNumber(now);
}

std::string RefreshCycle::MissingCodes() const {
    std::lock_guard<std::mutex> lock(missingMutex_);
    return missingCodes_;
}

void RefreshCycle::NoteAnswer(const RefreshReport& report, const std::tm& now) {
    failedAttemptTime.store(report.stale ? SecondsOfDay(now) : -1);
    if (!report.stale) {
        std::lock_guard<std::mutex> lock(missingMutex_);
        missingCodes_ = report.missingCodes;
    }
    if (!rules_.holidays || !report.answered || SecondsOfDay(now) <= HolidayCheckAfter) {
        return;
    }
    const int newest = DateNumber(report.newestDate);
    if (newest == 0) {
        return;  // the answer carries no date to judge by
    }
    const int today = DateNumber(now);
    // Each such answer judges the day anew, so a manual refresh that finds today's quotes
    // brings the timed refreshes back.
    holiday_ = newest < today ? today : 0;
}

void RefreshCycle::Request(RefreshState state) {
    if (state == refreshRequested) {
        int expected = idle;
        refreshState.compare_exchange_strong(expected, refreshRequested);
    } else {
        refreshState.store(state);
    }
    host_.Wake();
}

std::uint32_t RefreshCycle::SecondsSinceRefresh() const {
    const std::int64_t last = lastRender_.load();
    if (last == NoRender) {
        return 0;
    }
    const std::int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                 host_.Now().time_since_epoch())
                                 .count();
    return now <= last ? 0u : static_cast<std::uint32_t>((now - last) / 1000000000);
}

RefreshCycle::Outcome RefreshCycle::RunOnce() {
    if (!host_.Running()) {
        return Outcome::Stopped;
    }
    const WallClock::time_point now = host_.Now();
    std::optional<WallClock::time_point> last;
    if (lastRender_.load() != NoRender) {
        last = WallClock::time_point(std::chrono::duration_cast<WallClock::duration>(
            std::chrono::nanoseconds(lastRender_.load())));
        if (*last > now) {
            // The clock went back: the last render counts as just now, not as hours ahead.
            last = now;
            lastRender_.store(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                  now.time_since_epoch())
                                  .count());
        }
    }
    const auto sinceLast = [&] { return last ? now - *last : WallClock::duration::max(); };
    const WallClock::time_point requestsFrom =
        last ? *last + seconds(MinSecondsBetweenRefreshes) : now;

    // Whatever is pending here arrived during the last render or the last wait.
    int state = refreshState.load();
    if (state == settingsChanged) {
        return Render(state);
    }
    if (state == refreshRequested) {
        if (tooSoonRequest_ && now >= requestsFrom) {
            // Made too soon after the last render: dropped without a word.
            tooSoonRequest_ = false;
            refreshState.compare_exchange_strong(state, idle);
        } else if (sinceLast() >= seconds(MinSecondsBetweenRefreshes)) {
            return Render(state);
        } else {
            tooSoonRequest_ = true;
        }
    } else {
        tooSoonRequest_ = false;
    }

    TimedRefreshInputs in;
    in.now = now;
    in.localNow = host_.LocalTime(now);
    in.lastRender = last;
    in.refreshSeconds = host_.Settings().refreshSeconds;
    in.visible = host_.WindowVisible();
    in.rules = rules_;
    in.holiday = holiday_;
    std::optional<WallClock::time_point> until = NextTimedRefresh(in);
    if (until && *until <= now) {
        return Render(idle);
    }
    if (tooSoonRequest_ && (!until || requestsFrom < *until)) {
        until = requestsFrom;
    }
    return host_.WaitUntil(until) ? Outcome::Waited : Outcome::Stopped;
}

RefreshCycle::Outcome RefreshCycle::Render(int reason) {
    // Take the request now: one that arrives from here on is kept for the next turn. A timed
    // refresh that finds one pending serves it too.
    const int taken = refreshState.exchange(idle);
    tooSoonRequest_ = false;

    // One record for the whole turn: the request address that ApplyWindowSettings builds, the
    // render and the fit all follow it. A record replaced after the request was taken is applied
    // here too, whatever the request was, so the page never shows one list fetched at the
    // address of another; its settingsChanged then renders it once more in the next turn.
    const TickerSettings settings = host_.Settings();
    if (taken == settingsChanged || reason == settingsChanged || !applied_ ||
        std::memcmp(&*applied_, &settings, sizeof settings) != 0) {
        host_.ApplyWindowSettings(settings);
        applied_ = settings;
        layoutPending_ = true;
    }
    if (taken != idle || reason != idle) {
        host_.ShowLoadingIndicator();  // a plain timed refresh shows none
    }

    std::fill(page_.begin(), page_.end(), '\0');
    int rows = 2;
    int cols = 3;
    const RefreshReport report = host_.Render(settings, page_, rows, cols);
    const WallClock::time_point rendered = host_.Now();
    lastRender_.store(
        std::chrono::duration_cast<std::chrono::nanoseconds>(rendered.time_since_epoch()).count());
    NoteAnswer(report, host_.LocalTime(rendered));

    if (layoutPending_ || rows != prevRows_ || cols != prevCols_) {
        layoutPending_ = false;
        prevRows_ = rows;
        prevCols_ = cols;
        host_.FitWindowToTable(settings, rows, cols);
    }
    if (!host_.Running()) {
        return Outcome::Stopped;
    }
    host_.Publish(std::string_view(page_.data(), strnlen(page_.data(), page_.size())));
    return Outcome::Rendered;
}

void RefreshCycle::Run() {
    while (RunOnce() != Outcome::Stopped) {
    }
}

}  // namespace vemo
