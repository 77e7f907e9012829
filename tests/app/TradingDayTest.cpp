// The requests one simulated trading day makes at a 10-second refresh period, with the real
// refresh cycle, page session and Sina parser, and a clock that moves only while the cycle
// waits.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "app/RefreshCycle.h"
#include "quotes/QuoteParsers.h"
#include "quotes/QuoteUrl.h"

namespace vemo {
namespace {

class DayHost : public RefreshHost {
  public:
    DayHost(std::tm start, std::tm end, const char* quoteDate)
        : now_(WallClock::from_time_t(std::mktime(&start))),
          end_(WallClock::from_time_t(std::mktime(&end))),
          quoteDate_(quoteDate),
          session_(Fetchers()) {
        settings_ = DefaultTickerSettings();
        settings_.refreshSeconds = 10;
        std::snprintf(settings_.codeList, sizeof settings_.codeList, ",600000,000001");
    }

    bool WaitUntil(std::optional<WallClock::time_point> until) override {
        now_ = until ? std::max(now_, *until) : end_;
        return Running();
    }
    void Wake() override {}
    bool Running() override { return now_ < end_; }
    WallClock::time_point Now() override { return now_; }
    std::tm LocalTime(WallClock::time_point at) override {
        const std::time_t seconds = WallClock::to_time_t(at);
        std::tm local{};
        localtime_r(&seconds, &local);
        return local;
    }
    bool WindowVisible() override { return true; }
    TickerSettings Settings() override { return settings_; }
    void ApplyWindowSettings(const TickerSettings& settings) override {
        BuildQuoteUrl(settings, quoteUrl_);
    }
    void ShowLoadingIndicator() override {}
    RefreshReport Render(const TickerSettings& settings, std::span<char> page, int& rows,
                         int& cols) override {
        return session_.Render(settings, quoteUrl_, false, page, rows, cols);
    }
    void FitWindowToTable(const TickerSettings&, int, int) override {}
    void Publish(std::string_view) override {}

    // Requests per service: Sina answers each with the day's quotes.
    std::map<int, int> requests;

  private:
    QuoteFetchers Fetchers() {
        const auto counting = [this](int provider) -> QuoteFetcher {
            return [this, provider](const TickerSettings&, std::string_view, const char*,
                                    QuoteBatch& batch) {
                ++requests[provider];
                if (provider != ProviderSina) {
                    return FetchFailed;
                }
                const std::string line =
                    "var hq_str_sh600000=\"A,9.60,9.50,10.00,10.20,9.40,9.99,10.00,1234,5678,"
                    "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20," +
                    std::string(quoteDate_) + ",10:00:00,00,\";";
                ParseSinaResponse(std::vector<std::string>{line}, batch);
                return FetchOk;
            };
        };
        return QuoteFetchers{counting(ProviderSina), counting(ProviderNetEase),
                             counting(ProviderTencent)};
    }

    WallClock::time_point now_;
    WallClock::time_point end_;
    const char* quoteDate_;
    TickerSettings settings_;
    QuotePageSession session_;
    std::string quoteUrl_;
};

std::tm Local(int day, int hour) {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_isdst = -1;
    std::mktime(&t);
    return t;
}

// Timed refreshes only: the cycle starts idle at 08:00 and runs to 17:00.
int RequestsOfADay(int day, const char* quoteDate, MarketRules rules) {
    DayHost host(Local(day, 8), Local(day, 17), quoteDate);
    RefreshCycle cycle(host, rules);
    cycle.refreshState = idle;
    cycle.Run();
    return host.requests[ProviderSina] + host.requests[ProviderTencent] +
           host.requests[ProviderNetEase];
}

TEST(TradingDayTest, RequestsOfADayAtTenSeconds) {
    // Monday 2026-12-07; the quotes carry that date, or on a holiday the Friday before.
    const int withBreak = RequestsOfADay(7, "2026-12-07", MarketRules{});
    const int withoutBreak = RequestsOfADay(7, "2026-12-07", MarketRules{false, true});
    const int holiday = RequestsOfADay(7, "2026-12-04", MarketRules{});
    std::cout << "requests of a trading day at 10 s: " << withBreak << " with the midday break, "
              << withoutBreak << " without; " << holiday << " on a holiday\n";
    // 09:00:00 to 15:59:50 every 10 s is 2,520 refreshes; 11:31:00 to 12:59:50 are 534 of them.
    EXPECT_EQ(withoutBreak, 2520);
    EXPECT_EQ(withBreak, 2520 - 534);
    // On a holiday the requests stop with the first answer after 09:35 (09:35:10).
    EXPECT_EQ(holiday, 35 * 6 + 2);
}

}  // namespace
}  // namespace vemo
