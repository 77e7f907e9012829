#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

#include "quotes/TextFormat.h"

namespace vemo {
namespace {

std::string Printf(const char* format, double value) {
    char text[512];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string Ours(const char* format, double value) {
    char text[512];
    FormatText(text, format, {value});
    return text;
}

TEST(TextFormatTest, FixedPointMatchesPrintfForFloats) {
    std::mt19937 random(43);
    std::uniform_real_distribution<float> prices(-2000.0f, 2000.0f);
    std::uniform_int_distribution<int> cents(0, 1000000);
    for (int i = 0; i < 20000; ++i) {
        // Prices as the parsers store them, including exact halves that printf rounds to even.
        const float value = i % 2 == 0 ? prices(random) : static_cast<float>(cents(random)) / 1000;
        for (const char* format : {"%0.2f", "%0.3f", "+%0.2f%%", "%.2f"}) {
            ASSERT_EQ(Ours(format, value), Printf(format, value)) << format << " " << value;
        }
    }
    for (const double value : {0.0, -0.0, 0.005, 0.015, 0.125, 2.675, 1e10, 3.4e38, -1e-30,
                               static_cast<double>(std::numeric_limits<float>::max()),
                               std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity(), std::nan("")}) {
        EXPECT_EQ(Ours("%0.3f", value), Printf("%0.3f", value)) << value;
    }
}

TEST(TextFormatTest, TextIntegerAndPercent) {
    char text[128];
    EXPECT_EQ(FormatText(text, "<td colspan=%d>%s</td>%%", {-12, "ab"}), 24u);
    EXPECT_STREQ(text, "<td colspan=-12>ab</td>%");
}

TEST(TextFormatTest, CutsAtTheBufferButCountsEverything) {
    char text[8];
    EXPECT_EQ(FormatText(text, "%s-%0.2f", {"abcdef", 1.5}), 11u);
    EXPECT_STREQ(text, "abcdef-");
    char none[1] = {'x'};
    EXPECT_EQ(FormatText(none, "%s", {"abc"}), 3u);
    EXPECT_EQ(none[0], '\0');
}

TEST(TextFormatTest, UnknownDirectivesAndMissingArgumentsStayAsWritten) {
    char text[64];
    FormatText(text, "%x %s %d %", {});
    EXPECT_STREQ(text, "%x %s %d %");
    FormatText(text, "%d", {"text"});  // wrong kind
    EXPECT_STREQ(text, "%d");
}

}  // namespace
}  // namespace vemo
