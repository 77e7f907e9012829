#include "quotes/Holdings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "quotes/QuoteParsers.h"

namespace vemo {
namespace {

QuoteRecord Quote(const char* price, const char* prevClose) {
    QuoteRecord quote{};
    quote.exactPrice = ExactPriceUnits(price);
    quote.exactPrevClose = ExactPriceUnits(prevClose);
    quote.price = std::strtof(price, nullptr);
    quote.prevClose = std::strtof(prevClose, nullptr);
    return quote;
}

Holding Held(std::int64_t shares, const char* cost) {
    return Holding{shares, *ParseHoldingCost(cost)};
}

struct Shown {
    std::string marketValue, todayProfit, totalProfit, totalPercent;
};

Shown Show(const Holding& holding, const QuoteRecord& quote) {
    const HoldingCells cells = FormatHoldingCells(FigureHolding(holding, quote), false);
    return {cells.marketValue, cells.todayProfit, cells.totalProfit, cells.totalPercent};
}

void ExpectShown(const Shown& shown, const Shown& expected) {
    EXPECT_EQ(shown.marketValue, expected.marketValue);
    EXPECT_EQ(shown.todayProfit, expected.todayProfit);
    EXPECT_EQ(shown.totalProfit, expected.totalProfit);
    EXPECT_EQ(shown.totalPercent, expected.totalPercent);
}

TEST(HoldingFiguresTest, HandWorkedRows) {
    // Gain: 1000 x 10.23 = 10230; 1000 x 0.23 = 230; 1000 x 0.38 = 380; 0.38 / 9.85 = 3.8579%.
    ExpectShown(Show(Held(1000, "9.850"), Quote("10.23", "10.00")),
                {"10230.00", "230.00", "380.00", "+3.86%"});
    // Loss: 500 x 18.50 = 9250; 500 x -0.50 = -250; 500 x -1.50 = -750; -1.5 / 20 = -7.5%.
    ExpectShown(Show(Held(500, "20"), Quote("18.50", "19.00")),
                {"9250.00", "-250.00", "-750.00", "-7.50%"});
    // Nothing moved.
    ExpectShown(Show(Held(300, "10"), Quote("10.00", "10.00")), {"3000.00", "0.00", "0.00", "0.00%"});
    // An index, priced to the thousandth: 10 x 3245.123; 10 x -5.377; 10 x 245.123; 8.1708%.
    ExpectShown(Show(Held(10, "3000"), Quote("3245.123", "3250.500")),
                {"32451.23", "-53.77", "2451.23", "+8.17%"});
}

TEST(HoldingFiguresTest, APriceOfZeroIsNoPrice) {
    // Valued at the previous close, nothing made today: 200 x 6 = 1200; 200 x (6 - 5) = 200.
    ExpectShown(Show(Held(200, "5.000"), Quote("0.00", "6.00")),
                {"1200.00", "0.00", "200.00", "+20.00%"});
    // Without a previous close either, there is nothing to value the holding with.
    const HoldingFigures none = FigureHolding(Held(200, "5"), Quote("0", "0"));
    EXPECT_FALSE(none.valued);
    ExpectShown(Show(Held(200, "5"), Quote("0", "0")), {"--", "--", "--", "--"});
    HoldingTotals totals;
    totals.Add(none);
    EXPECT_EQ(totals.costValue, 0);
}

TEST(HoldingFiguresTest, ACostOfZeroHasNoPercentage) {
    ExpectShown(Show(Held(100, "0"), Quote("3.00", "2.90")), {"300.00", "10.00", "300.00", "--"});
}

TEST(HoldingFiguresTest, AMillionSharesAtAPriceNoFloatHolds) {
    // 10.23 as a float is 10.2299995...: a million shares would read 10229999.54.
    ASSERT_NE(std::llround(static_cast<double>(10.23f) * 1e6 * 100), 1'023'000'000);
    const Holding held = Held(1'000'000, "9.999");
    const QuoteRecord quote = Quote("10.23", "10.01");
    ExpectShown(Show(held, quote), {"10230000.00", "220000.00", "231000.00", "+2.31%"});
    // The most shares at a dear price do not overflow.
    ExpectShown(Show(Held(MaxHoldingShares, "1000000"), Quote("9999.999", "9999.998")),
                {"9999999000000.00", "1000000.00", "-990000001000000.00", "-99.00%"});
}

TEST(HoldingFiguresTest, TotalsOfGainsAndLosses) {
    HoldingTotals totals;
    totals.Add(FigureHolding(Held(1000, "9.85"), Quote("10.23", "10.00")));  // +230, +380
    totals.Add(FigureHolding(Held(500, "20"), Quote("18.50", "19.00")));     // -250, -750
    totals.Add(FigureHolding(Held(200, "5"), Quote("0", "6")));              // 0, +200
    EXPECT_EQ(FormatMoney(totals.marketValue, false), "20680.00");
    EXPECT_EQ(FormatMoney(totals.todayProfit, true), "-20.00");
    EXPECT_EQ(FormatMoney(totals.totalProfit, true), "-170.00");
    // -20 / (10000 + 9500 + 1200) = -0.0966%; -170 / (9850 + 10000 + 1000) = -0.8153%.
    EXPECT_EQ(FormatRatioPercent(totals.todayProfit, totals.prevCloseValue), "-0.10%");
    EXPECT_EQ(FormatRatioPercent(totals.totalProfit, totals.costValue), "-0.82%");
    // Only costs of 0: no total percentage.
    HoldingTotals free;
    free.Add(FigureHolding(Held(1, "0"), Quote("1", "1")));
    EXPECT_EQ(FormatRatioPercent(free.totalProfit, free.costValue), "--");
}

TEST(HoldingFiguresTest, HalfAFenRoundsAwayFromZero) {
    const Money fen = ExactPriceUnitsPerYuan / 100;
    EXPECT_EQ(FormatMoney(fen / 2, false), "0.01");
    EXPECT_EQ(FormatMoney(-fen / 2, true), "-0.01");
    EXPECT_EQ(FormatMoney(fen / 2 - 1, true), "0.00");
    EXPECT_EQ(FormatMoney(-(fen / 2 - 1), true), "0.00");
    EXPECT_EQ(MoneySign(-(fen / 2 - 1)), 0);  // shown as 0.00, so coloured as nothing
    EXPECT_EQ(FormatMoney(123 * fen, true), "+1.23");
    // Through the figures: 3 x 1.115 = 3.345 (a float makes it 3.3449999).
    ExpectShown(Show(Held(3, "1.115"), Quote("1.115", "1.110")), {"3.35", "0.02", "0.00", "0.00%"});
    // Percentages: 1 / 20000 is 0.005%.
    EXPECT_EQ(FormatRatioPercent(1, 20000), "+0.01%");
    EXPECT_EQ(FormatRatioPercent(-1, 20000), "-0.01%");
    EXPECT_EQ(FormatRatioPercent(1, 20001), "0.00%");
}

TEST(HoldingInputTest, SharesAreWholeNumbersFromOneToABillion) {
    EXPECT_EQ(ParseHoldingShares("1"), 1);
    EXPECT_EQ(ParseHoldingShares("1000000000"), MaxHoldingShares);
    EXPECT_EQ(ParseHoldingShares("0100"), 100);
    for (const char* bad : {"", "0", "1000000001", "99999999999999999999", "-1", "+1", "1.0",
                            " 1", "1e3", "１"}) {
        EXPECT_EQ(ParseHoldingShares(bad), std::nullopt) << bad;
    }
}

TEST(HoldingInputTest, CostsHaveAtMostThreeDecimalsUpToAMillion) {
    EXPECT_EQ(ParseHoldingCost("0"), 0);
    EXPECT_EQ(ParseHoldingCost("9.850"), 9'850'000);
    EXPECT_EQ(ParseHoldingCost("9.85"), 9'850'000);
    EXPECT_EQ(ParseHoldingCost("0.001"), 1'000);
    EXPECT_EQ(ParseHoldingCost("1000000.000"), MaxHoldingCost);
    for (const char* bad : {"", "1000000.001", "1000001", "9.8505", "-1", "1e3", ".5", "5.", "a",
                            "1,5", "0000000000000000001"}) {
        EXPECT_EQ(ParseHoldingCost(bad), std::nullopt) << bad;
    }
}

TEST(HoldingTableTest, FindsCodesAsTheyStandInTheList) {
    HoldingTable table;
    EXPECT_TRUE(table.Empty());
    table.Set("600000", Holding{100, 0});
    table.Set("600000", Holding{200, 0});
    ASSERT_NE(table.Find("600000"), nullptr);
    EXPECT_EQ(table.Find("600000")->shares, 200);
    EXPECT_EQ(table.Find("60000"), nullptr);
    EXPECT_TRUE(table.AnyListed("1A0001,,600000"));
    EXPECT_FALSE(table.AnyListed("1A0001,6000001,60000"));
    EXPECT_FALSE(table.AnyListed(""));
}

}  // namespace
}  // namespace vemo
