#include "quotes/HoldingsFile.h"

#include <gtest/gtest.h>

#include "tests/support/TestFiles.h"

namespace vemo {
namespace {

TEST(HoldingsFileTest, ReadsGoodHoldingsAndNamesEachBadOne) {
    test::TempDir dir;
    const auto path = dir.path() / HoldingsFileName;
    test::WriteBytes(path,
                     "[600000]\nshares=1000\ncost=9.850\n"
                     "[000001]\nshares=abc\ncost=1\n"      // bad shares
                     "[000002]\nshares=10\ncost=1.2345\n"  // too many decimals
                     "[000003]\nshares=10\n"               // no cost
                     "[000004]\ncost=3\n"                  // no shares
                     "[000005]\nshares=0\ncost=x\n"        // only the first bad value counts
                     "[notes]\nwhatever=1\n"               // not a holding
                     "[300750]\nshares=5\ncost=0\n");
    const LoadedHoldings loaded = LoadHoldings(PerCodeFile(path));
    EXPECT_TRUE(loaded.readable);
    EXPECT_TRUE(loaded.showProfit);
    ASSERT_NE(loaded.table.Find("600000"), nullptr);
    EXPECT_EQ(loaded.table.Find("600000")->shares, 1000);
    EXPECT_EQ(loaded.table.Find("600000")->cost, 9'850'000);
    ASSERT_NE(loaded.table.Find("300750"), nullptr);
    for (const char* absent : {"000001", "000002", "000003", "000004", "000005", "notes"}) {
        EXPECT_EQ(loaded.table.Find(absent), nullptr) << absent;
    }
    ASSERT_EQ(loaded.problems.size(), 5u);
    const auto expect = [&](std::size_t i, const char* code, const char* key, const char* text) {
        EXPECT_EQ(loaded.problems[i].code, code);
        EXPECT_EQ(loaded.problems[i].key, key);
        EXPECT_EQ(loaded.problems[i].text, text);
    };
    expect(0, "000001", "shares", "abc");
    expect(1, "000002", "cost", "1.2345");
    expect(2, "000003", "cost", "");
    expect(3, "000004", "shares", "");
    expect(4, "000005", "shares", "0");
    // Reading never rewrites the file.
    EXPECT_NE(test::ReadBytes(path).find("shares=abc"), std::string::npos);
}

TEST(HoldingsFileTest, TheSwitchHidesTheHoldingsWithoutLosingThem) {
    test::TempDir dir;
    const auto path = dir.path() / HoldingsFileName;
    test::WriteBytes(path, "[VEMO]\nshowProfit=0\n[600000]\nshares=1\ncost=1\n");
    const LoadedHoldings hidden = LoadHoldings(PerCodeFile(path));
    EXPECT_FALSE(hidden.showProfit);
    EXPECT_EQ(hidden.Shown(), nullptr);
    EXPECT_NE(hidden.table.Find("600000"), nullptr);
    EXPECT_TRUE(hidden.problems.empty());

    test::WriteBytes(path, "[VEMO]\nshowProfit=1\n[600000]\nshares=1\ncost=1\n");
    const LoadedHoldings shown = LoadHoldings(PerCodeFile(path));
    ASSERT_NE(shown.Shown(), nullptr);
    EXPECT_NE(shown.Shown()->Find("600000"), nullptr);

    // No file: nothing held, the columns on.
    const LoadedHoldings none = LoadHoldings(PerCodeFile(dir.path() / "missing.ini"));
    EXPECT_TRUE(none.readable);
    EXPECT_TRUE(none.table.Empty());
    EXPECT_TRUE(none.showProfit);
}

TEST(HoldingsFileTest, AProblemIsNamedSafelyForATerminal) {
    const std::string line =
        DescribeHoldingProblem("/h/holdings.ini", HoldingProblem{"600000", "shares", "1\x1b[2J"});
    EXPECT_EQ(line, "/h/holdings.ini: [600000] shares=1?[2J: 持仓输入不正确, 该代码的持仓不计");
    EXPECT_NE(DescribeHoldingProblem("f", HoldingProblem{"1", "cost", ""}).find("成本输入不正确"),
              std::string::npos);
}

}  // namespace
}  // namespace vemo
