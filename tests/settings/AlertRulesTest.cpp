#include "settings/AlertRules.h"

#include <gtest/gtest.h>

namespace vemo {
namespace {

TEST(AlertValueTest, PricesAndPercentagesWithinTheirRangesAndPlaces) {
    EXPECT_EQ(ParseAlertValue(AlertKind::Above, "10.50"), 10'500);
    EXPECT_EQ(ParseAlertValue(AlertKind::Below, "0.001"), 1);
    EXPECT_EQ(ParseAlertValue(AlertKind::Below, "1000000"), 1'000'000'000);
    EXPECT_EQ(ParseAlertValue(AlertKind::FallBelow, "3"), 300);
    EXPECT_EQ(ParseAlertValue(AlertKind::RiseAbove, "0.01"), 1);
    EXPECT_EQ(ParseAlertValue(AlertKind::RiseAbove, "100"), 10'000);
    for (const char* bad : {"", "0", "0.000", "1000000.001", "10.5001", "-1", "+1", "1e3", " 1",
                            "1 ", "1.", ".5", "1,5", "1.2.3", "99999999999999999999999"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(ParseAlertValue(AlertKind::Above, bad));
    }
    for (const char* bad : {"0", "0.001", "100.01", "101", "-3", "3%"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(ParseAlertValue(AlertKind::FallBelow, bad));
    }
}

TEST(AlertValueTest, WrittenWithTheFewestPlacesThatKeepTheValue) {
    EXPECT_EQ(FormatAlertValue(AlertKind::Above, 10'500), "10.50");
    EXPECT_EQ(FormatAlertValue(AlertKind::Above, 10'525), "10.525");
    EXPECT_EQ(FormatAlertValue(AlertKind::Below, 1), "0.001");
    EXPECT_EQ(FormatAlertValue(AlertKind::Below, 7'000), "7.00");
    EXPECT_EQ(FormatAlertValue(AlertKind::FallBelow, 300), "3");
    EXPECT_EQ(FormatAlertValue(AlertKind::RiseAbove, 250), "2.5");
    EXPECT_EQ(FormatAlertValue(AlertKind::RiseAbove, 1), "0.01");
    EXPECT_EQ(FormatScaledDecimal(-1'502, 2), "-15.02");
    EXPECT_EQ(FormatScaledDecimal(0, 0), "0");
    // Every value in range reads back as itself.
    for (const std::int64_t value : {1LL, 9LL, 10LL, 999LL, 1'000LL, 123'456LL, 1'000'000'000LL}) {
        EXPECT_EQ(ParseAlertValue(AlertKind::Above, FormatAlertValue(AlertKind::Above, value)),
                  value);
    }
    for (std::int64_t value = 1; value <= MaxAlertPercent; value += 37) {
        EXPECT_EQ(ParseAlertValue(AlertKind::RiseAbove, FormatAlertValue(AlertKind::RiseAbove, value)),
                  value);
    }
}

}  // namespace
}  // namespace vemo
