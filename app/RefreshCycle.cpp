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

}  // namespace

RefreshCycle::RefreshCycle(RefreshHost& host, MarketRules rules)
    : host_(host), rules_(rules), page_(PageBufferSize, '\0') {}

int RefreshCycle::PeriodSeconds(std::int32_t refreshSeconds) {
    return refreshSeconds >= 10 ? refreshSeconds : 3600;
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

bool RefreshCycle::TimedRefreshAllowed(const std::tm& now) const {
    return WithinTradingHours(now, rules_.middayBreak) && !HolidayFound(now);
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
        return;
    }
    refreshState.store(state);
}

RefreshCycle::Outcome RefreshCycle::RunOnce() {
    if (!host_.Running()) {
        return Outcome::Stopped;
    }
    const int period = PeriodSeconds(host_.Settings().refreshSeconds);

    // Whatever is pending here arrived during the last render and is kept for this turn.
    for (int i = 0; i < period; ++i) {
        int state = refreshState.load();
        if (state == settingsChanged) {
            break;
        }
        if (state == refreshRequested) {
            if (secondsSinceRefresh.load() >= MinSecondsBetweenRefreshes) {
                break;
            }
            // Too soon after the last render: dropped without a word.
            refreshState.compare_exchange_strong(state, idle);
        }
        if (!host_.Sleep(std::chrono::milliseconds(1000))) {
            return Outcome::Stopped;
        }
        secondsSinceRefresh.fetch_add(1);
    }

    // Take the request now: one that arrives from here on is kept for the next turn.
    const int taken = refreshState.exchange(idle);
    if (taken == idle) {
        // The period ran out: a timed refresh, only for a visible window in trading hours.
        if (!host_.WindowVisible() || !TimedRefreshAllowed(host_.LocalNow())) {
            return Outcome::Skipped;
        }
    }

    // One record for the whole turn: the request address that ApplyWindowSettings builds, the
    // render and the fit all follow it. A record replaced after the request was taken is applied
    // here too, whatever the request was, so the page never shows one list fetched at the
    // address of another; its settingsChanged then renders it once more in the next turn.
    const TickerSettings settings = host_.Settings();
    if (taken == settingsChanged || !applied_ ||
        std::memcmp(&*applied_, &settings, sizeof settings) != 0) {
        host_.ApplyWindowSettings(settings);
        applied_ = settings;
        layoutPending_ = true;
    }
    if (taken != idle) {
        host_.ShowLoadingIndicator();  // a plain timed refresh shows none
    }

    std::fill(page_.begin(), page_.end(), '\0');
    int rows = 2;
    int cols = 3;
    const RefreshReport report = host_.Render(settings, page_, rows, cols);
    secondsSinceRefresh.store(0);
    NoteAnswer(report, host_.LocalNow());

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
