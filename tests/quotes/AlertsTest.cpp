#include "quotes/Alerts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace vemo {
namespace {

constexpr int Today = 20240603;
constexpr int Yesterday = 20240531;

std::tm Clock(int date, int hour = 10, int minute = 0) {
    std::tm now{};
    now.tm_year = date / 10000 - 1900;
    now.tm_mon = date / 100 % 100 - 1;
    now.tm_mday = date % 100;
    now.tm_hour = hour;
    now.tm_min = minute;
    return now;
}

// A quote of 600000 with a previous close of 10.000 yuan; prices in thousandths.
AlertQuote Quote(std::int64_t price, int date = Today, std::int64_t prevClose = 10'000) {
    return {"600000", "\xC6\xD6\xB7\xA2\xD2\xF8\xD0\xD0", price, prevClose, date};
}

AlertRuleBook Rule(AlertKind kind, std::int64_t value, const std::string& code = "600000") {
    AlertRules rules;
    rules[kind] = value;
    return {{code, rules}};
}

// Feeds prices one refresh at a time and gives, per refresh, how many rules fired.
std::vector<std::size_t> Feed(AlertMonitor& monitor, const std::vector<std::int64_t>& prices,
                             int date = Today) {
    std::vector<std::size_t> fired;
    for (const std::int64_t price : prices) {
        const AlertQuote quote = Quote(price, date);
        fired.push_back(monitor.Evaluate({&quote, 1}, Clock(date), true, false).size());
    }
    return fired;
}

using Counts = std::vector<std::size_t>;

TEST(AlertDecisionTest, FiresOnceWhenTheConditionStartsToHold) {
    AlertMonitor above;
    above.SetRules(Rule(AlertKind::Above, 10'500));
    // Below the line, crossing it, staying above: one notification.
    EXPECT_EQ(Feed(above, {10'000, 10'499, 10'500, 10'700, 10'600}), (Counts{0, 0, 1, 0, 0}));

    AlertMonitor below;
    below.SetRules(Rule(AlertKind::Below, 9'500));
    EXPECT_EQ(Feed(below, {9'800, 9'501, 9'500, 9'000}), (Counts{0, 0, 1, 0}));

    // A rule that already holds at the first real record of the day fires there.
    AlertMonitor first;
    first.SetRules(Rule(AlertKind::Above, 10'500));
    EXPECT_EQ(Feed(first, {11'000, 11'100}), (Counts{1, 0}));
}

TEST(AlertDecisionTest, PercentRulesCompareTheExactChange) {
    // +5.00% of 10.000 is 10.500: reached exactly, not a thousandth less.
    AlertMonitor rise;
    rise.SetRules(Rule(AlertKind::RiseAbove, 500));
    EXPECT_EQ(Feed(rise, {10'499, 10'500}), (Counts{0, 1}));

    AlertMonitor fall;
    fall.SetRules(Rule(AlertKind::FallBelow, 310));
    EXPECT_EQ(Feed(fall, {9'691, 9'690, 9'500}), (Counts{0, 1, 0}));

    // Without a previous close there is no change to speak of.
    AlertMonitor noClose;
    noClose.SetRules(Rule(AlertKind::FallBelow, 100));
    const AlertQuote quote = Quote(5'000, Today, 0);
    EXPECT_TRUE(noClose.Evaluate({&quote, 1}, Clock(Today), true, false).empty());
}

TEST(AlertDecisionTest, RearmsOnlyPastTheMarginOnTheOtherSide) {
    struct Case {
        AlertKind kind;
        std::int64_t rule;
        std::vector<std::int64_t> prices;
        Counts fired;
    };
    const Case cases[] = {
        // above 10.00: re-armed at 9.90, not at 9.91.
        {AlertKind::Above, 10'000, {10'000, 9'910, 10'000, 9'900, 10'000}, {1, 0, 0, 0, 1}},
        // below 10.00: re-armed at 10.10, not at 10.09.
        {AlertKind::Below, 10'000, {10'000, 10'090, 10'000, 10'100, 9'990}, {1, 0, 0, 0, 1}},
        // +3%: re-armed at +2.00% (10.200), not at +2.01%.
        {AlertKind::RiseAbove, 300, {10'300, 10'201, 10'300, 10'200, 10'350}, {1, 0, 0, 0, 1}},
        // -3%: re-armed at -2.00% (9.800), not at -2.01%.
        {AlertKind::FallBelow, 300, {9'700, 9'799, 9'700, 9'800, 9'600}, {1, 0, 0, 0, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(AlertKey(c.kind));
        AlertMonitor monitor;
        monitor.SetRules(Rule(c.kind, c.rule));
        EXPECT_EQ(Feed(monitor, c.prices), c.fired);
    }
}

TEST(AlertDecisionTest, OnlyRealRecordsCount) {
    AlertMonitor monitor;
    monitor.SetRules(Rule(AlertKind::Below, 9'000));
    // Before the open the price is 0: no fall below anything.
    EXPECT_EQ(Feed(monitor, {0, 0}), (Counts{0, 0}));
    // A holiday's quotes (or a suspended share's) keep an old date.
    const AlertQuote holiday = Quote(8'000, Yesterday);
    EXPECT_TRUE(monitor.Evaluate({&holiday, 1}, Clock(Today), true, false).empty());
    // The last quotes shown again after a refresh in which every service failed.
    const AlertQuote low = Quote(8'000);
    EXPECT_TRUE(monitor.Evaluate({&low, 1}, Clock(Today), false, false).empty());
    EXPECT_FALSE(monitor.Marked("600000", Clock(Today)));
    // None of that touched the state: the first real record still fires.
    EXPECT_EQ(Feed(monitor, {8'000}), (Counts{1}));
}

TEST(AlertDecisionTest, ANewDayStartsArmedAndClearsTheMarks) {
    AlertMonitor monitor;
    monitor.SetRules(Rule(AlertKind::Above, 10'500));
    EXPECT_EQ(Feed(monitor, {10'600}, Yesterday), (Counts{1}));
    EXPECT_TRUE(monitor.Marked("600000", Clock(Yesterday, 15)));
    EXPECT_FALSE(monitor.Marked("600000", Clock(Today, 9)));
    EXPECT_EQ(Feed(monitor, {10'600, 10'700}), (Counts{1, 0}));
}

TEST(AlertDecisionTest, MutedRulesFireSilentlySoThatUnmutingBringsNoBurst) {
    AlertMonitor monitor;
    monitor.SetRules(Rule(AlertKind::Above, 10'500));
    const AlertQuote high = Quote(10'600);
    const std::vector<FiredAlert> muted = monitor.Evaluate({&high, 1}, Clock(Today), true, true);
    ASSERT_EQ(muted.size(), 1u);
    EXPECT_FALSE(muted[0].notify);
    // Unmuted while the price stays above: nothing new to tell.
    EXPECT_TRUE(monitor.Evaluate({&high, 1}, Clock(Today), true, false).empty());
    const AlertQuote back = Quote(10'000);
    monitor.Evaluate({&back, 1}, Clock(Today), true, false);
    const std::vector<FiredAlert> told = monitor.Evaluate({&high, 1}, Clock(Today), true, false);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_TRUE(told[0].notify);
}

TEST(AlertDecisionTest, FiredAlertsCarryTheFiguresAndMarkTheRowUntilClicked) {
    AlertMonitor monitor;
    AlertRules rules;
    rules[AlertKind::Above] = 10'500;
    rules[AlertKind::RiseAbove] = 500;
    monitor.SetRules({{"600000", rules}, {"000001", Rule(AlertKind::Below, 1).begin()->second}});
    const AlertQuote quotes[] = {Quote(10'520), {"000001", "", 12'000, 12'000, Today}};
    const std::vector<FiredAlert> fired = monitor.Evaluate(quotes, Clock(Today), true, false);
    ASSERT_EQ(fired.size(), 2u);
    EXPECT_EQ(fired[0].kind, AlertKind::Above);
    EXPECT_EQ(fired[1].kind, AlertKind::RiseAbove);
    EXPECT_EQ(fired[1].code, "600000");
    EXPECT_EQ(fired[1].rule, 500);
    EXPECT_EQ(fired[1].price, 10'520);
    EXPECT_EQ(fired[1].prevClose, 10'000);
    EXPECT_EQ(fired[1].name, Quote(0).name);

    EXPECT_TRUE(monitor.Marked("600000", Clock(Today)));
    EXPECT_FALSE(monitor.Marked("000001", Clock(Today)));
    monitor.ClearMark("600000");
    EXPECT_FALSE(monitor.Marked("600000", Clock(Today)));
    // A click ends the mark, not the firing state.
    EXPECT_TRUE(monitor.Evaluate(quotes, Clock(Today), true, false).empty());
}

TEST(AlertDecisionTest, ChangedRulesStartArmedAndRemovedRulesLeaveNoMark) {
    AlertMonitor monitor;
    monitor.SetRules(Rule(AlertKind::Above, 10'500));
    EXPECT_EQ(Feed(monitor, {10'600}), (Counts{1}));
    monitor.SetRules(Rule(AlertKind::Above, 10'550));
    EXPECT_EQ(Feed(monitor, {10'600}), (Counts{1}));
    EXPECT_TRUE(monitor.HasRules());
    monitor.SetRules({});
    EXPECT_FALSE(monitor.HasRules());
    EXPECT_FALSE(monitor.Marked("600000", Clock(Today)));
}

TEST(AlertDecisionTest, RecordsAreReadFromTheExactPricesNotTheFloats) {
    QuoteRecord record{};
    std::memcpy(record.code, "600000", 7);
    // The floats disagree with the exact prices on purpose: only the exact ones may count.
    record.price = 99.0f;
    record.prevClose = 99.0f;
    record.exactPrice = 10'230'000;
    record.exactPrevClose = 9'870'000;
    record.date = Today;
    const AlertQuote quote = MakeAlertQuote(record);
    EXPECT_EQ(quote.price, 10'230);
    EXPECT_EQ(quote.prevClose, 9'870);
    EXPECT_EQ(quote.code, "600000");
    record.exactPrice = 10'229'500;  // a finer figure rounds half up
    EXPECT_EQ(MakeAlertQuote(record).price, 10'230);
    record.exactPrice = 10'229'499;
    EXPECT_EQ(MakeAlertQuote(record).price, 10'229);
    // A figure no price can have is no price at all.
    record.exactPrice = 9'000'000'000'000'000'000;
    EXPECT_EQ(MakeAlertQuote(record).price, 0);
    record.exactPrice = -1'000'000;
    EXPECT_EQ(MakeAlertQuote(record).price, 0);
}

TEST(AlertDecisionTest, ChangeInHundredthsRoundsHalfAwayFromZero) {
    EXPECT_EQ(ChangeHundredths(10'502, 10'000), 502);
    EXPECT_EQ(ChangeHundredths(9'690, 10'000), -310);
    EXPECT_EQ(ChangeHundredths(1'001'005, 1'000'000), 10);  // +0.1005% -> +0.10%
    EXPECT_EQ(ChangeHundredths(10'005, 200'000), -9500);
    EXPECT_EQ(ChangeHundredths(3, 8), -6250);
    EXPECT_EQ(ChangeHundredths(1, 16), -9375);
    EXPECT_EQ(ChangeHundredths(5, 0), 0);
}

TEST(AlertTextTest, SummaryAndBodyNameTheCodeThePriceAndTheRule) {
    FiredAlert alert;
    alert.code = "600000";
    alert.name = "\xC6\xD6\xB7\xA2\xD2\xF8\xD0\xD0";  // 浦发银行 in GBK
    alert.kind = AlertKind::Above;
    alert.rule = 10'500;
    alert.price = 10'520;
    alert.prevClose = 10'000;
    alert.dataTime = "2024-06-03 10:15:03";
    EXPECT_EQ(AlertSummary(alert), "浦发银行 600000 涨到 10.52");
    EXPECT_EQ(AlertBody(alert), "价格 10.52  涨跌幅 +5.20%\n提醒: 高于 10.50\n时间 2024-06-03 10:15:03");

    alert.kind = AlertKind::Below;
    alert.rule = 9'000;
    alert.price = 8'995;
    EXPECT_EQ(AlertSummary(alert), "浦发银行 600000 跌到 8.995");
    EXPECT_EQ(AlertBody(alert), "价格 8.995  涨跌幅 \u221210.05%\n提醒: 低于 9.00\n时间 2024-06-03 10:15:03");

    alert.kind = AlertKind::RiseAbove;
    alert.rule = 500;
    alert.price = 10'502;
    alert.dataTime.clear();
    EXPECT_EQ(AlertSummary(alert), "浦发银行 600000 涨幅达 +5.02%");
    EXPECT_EQ(AlertBody(alert), "价格 10.502  涨跌幅 +5.02%\n提醒: 涨幅 5%");

    alert.kind = AlertKind::FallBelow;
    alert.rule = 250;
    alert.price = 9'690;
    alert.name.clear();
    EXPECT_EQ(AlertSummary(alert), "600000 跌幅达 \u22123.10%");
    EXPECT_EQ(AlertBody(alert), "价格 9.69  涨跌幅 \u22123.10%\n提醒: 跌幅 2.5%");
}

}  // namespace
}  // namespace vemo
