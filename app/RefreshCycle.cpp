#include "app/RefreshCycle.h"

#include <algorithm>
#include <cstring>

#include "quotes/QuotePage.h"

namespace vemo {

RefreshCycle::RefreshCycle(RefreshHost& host) : host_(host), page_(PageBufferSize, '\0') {}

int RefreshCycle::PeriodSeconds(std::int32_t refreshSeconds) {
    return refreshSeconds >= 10 ? refreshSeconds : 3600;
}

bool RefreshCycle::WithinTradingHours(const std::tm& now) {
    const bool weekend = now.tm_wday == 0 || now.tm_wday == 6;
    return !weekend && now.tm_hour >= 9 && now.tm_hour <= 15;
}

RefreshCycle::Outcome RefreshCycle::RunOnce() {
    if (!host_.Running()) {
        return Outcome::Stopped;
    }
    const int period = PeriodSeconds(host_.Settings().refreshSeconds);
    bool applied = false;

    // A request is consumed when its render starts (below), so whatever is pending here
    // arrived during the last render and is kept for this turn.
    for (int i = 0; i < period; ++i) {
        int state = refreshState.load();
        if (state == settingsChanged) {
            host_.ApplyWindowSettings(host_.Settings());
            layoutPending_ = true;
            applied = true;
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

    if (refreshState.load() == idle) {
        // The period ran out: a timed refresh, only for a visible window in trading hours.
        if (!host_.WindowVisible() || !WithinTradingHours(host_.LocalNow())) {
            return Outcome::Skipped;
        }
        if (refreshState.load() != idle) {
            host_.ShowLoadingIndicator();
        }
    } else {
        host_.ShowLoadingIndicator();
    }

    // Take the request now, so that one arriving during the render survives it.
    if (refreshState.exchange(idle) == settingsChanged && !applied) {
        host_.ApplyWindowSettings(host_.Settings());
        layoutPending_ = true;
    }

    const TickerSettings settings = host_.Settings();
    std::fill(page_.begin(), page_.end(), '\0');
    int rows = 2;
    int cols = 3;
    host_.Render(settings, page_, rows, cols);
    secondsSinceRefresh.store(0);

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
