#include "options/HoldingsState.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "../settings/TestFiles.h"

namespace vemo {
namespace {

HoldingLine Line(const char* code, const char* shares, const char* cost) {
    return HoldingLine{code, "", {shares, cost}};
}

TEST(HoldingsStateTest, OpensOneLinePerListedCodeWithTheFilesTexts) {
    test::TempDir dir;
    const auto path = dir.path() / "holdings.ini";
    test::WriteBytes(path,
                     "[VEMO]\nshowProfit=0\n[600000]\nshares=1000\ncost=9.850\n"
                     "[000002]\nshares=abc\n[300750]\nshares=5\ncost=1\n");
    PerCodeFile file(path);
    ASSERT_TRUE(file.Load());
    const HoldingsPageState state = HoldingsStateFrom(
        {"600000", "000002", "600000", "1A0001"}, file, {{"600000", "浦发银行"}, {"X", "x"}});
    EXPECT_FALSE(state.showProfit);
    ASSERT_EQ(state.lines.size(), 3u);  // the repeated code once; 300750 is not listed
    EXPECT_EQ(state.lines[0].code, "600000");
    EXPECT_EQ(state.lines[0].name, "浦发银行");
    EXPECT_EQ(state.lines[0].texts, (std::vector<std::string>{"1000", "9.850"}));
    // A bad value opens as it stands, so the user sees what to correct.
    EXPECT_EQ(state.lines[1].texts, (std::vector<std::string>{"abc", ""}));
    EXPECT_EQ(state.lines[2].texts, (std::vector<std::string>{"", ""}));
    EXPECT_EQ(state.lines[2].name, "");
    EXPECT_TRUE(HoldingsStateFrom({}, PerCodeFile(), {}).showProfit);
}

TEST(HoldingsStateTest, TheFirstWrongFieldIsNamed) {
    HoldingsPageState state;
    state.lines = {Line("600000", " 100 ", "9.85"), Line("000002", "", ""),
                   Line("000001", "1000000000", "0")};
    EXPECT_EQ(ValidateHoldings(state).message, "");

    struct Case {
        const char* shares;
        const char* cost;
        const char* message;
        std::size_t column;
    };
    const Case cases[] = {
        {"abc", "1", MsgHoldingShares, 0},   {"0", "1", MsgHoldingShares, 0},
        {"1000000001", "1", MsgHoldingShares, 0}, {"1.5", "1", MsgHoldingShares, 0},
        {"", "1", MsgHoldingShares, 0},      // cost without shares
        {"100", "", MsgHoldingCost, 1},      // shares without cost
        {"100", "1.2345", MsgHoldingCost, 1}, {"100", "-1", MsgHoldingCost, 1},
        {"100", "1000000.001", MsgHoldingCost, 1}, {"abc", "x", MsgHoldingShares, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.shares) + "/" + c.cost);
        HoldingsPageState bad = state;
        bad.lines[1] = Line("000002", c.shares, c.cost);
        bad.lines[2] = Line("000001", "x", "x");  // a later error does not count
        const HoldingError error = ValidateHoldings(bad);
        EXPECT_EQ(error.message, c.message);
        EXPECT_EQ(error.line, 1u);
        EXPECT_EQ(error.column, c.column);
    }
}

TEST(HoldingsStateTest, StoresTheLinesAndKeepsEverythingElse) {
    test::TempDir dir;
    const auto path = dir.path() / "holdings.ini";
    test::WriteBytes(path,
                     "; mine\n[600000]\nshares=1\ncost=1\nnote=keep\n"
                     "[000002]\nshares=5\ncost=2\n[300750]\nshares=7\ncost=3\n");
    PerCodeFile file(path);
    ASSERT_TRUE(file.Load());
    HoldingsPageState state;
    state.lines = {Line("600000", " 1000 ", "9.850"), Line("000002", "", ""),
                   Line("1A0001", "10", "3000")};
    ASSERT_EQ(StoreHoldings(state, file), "");
    // 000002's holding is gone with its empty section; 300750 is not listed and stays.
    EXPECT_EQ(test::ReadBytes(path),
              "; mine\n[600000]\nshares=1000\r\ncost=9.850\r\nnote=keep\n"
              "[300750]\nshares=7\ncost=3\n[1A0001]\r\nshares=10\r\ncost=3000\r\n");

    // The same again writes nothing; the switch is written once it is turned off.
    const ino_t before = test::InodeOf(path);
    ASSERT_EQ(StoreHoldings(state, file), "");
    EXPECT_EQ(test::InodeOf(path), before);
    state.showProfit = false;
    ASSERT_EQ(StoreHoldings(state, file), "");
    EXPECT_NE(test::ReadBytes(path).find("[VEMO]\r\nshowProfit=0\r\n"), std::string::npos);
    state.showProfit = true;
    ASSERT_EQ(StoreHoldings(state, file), "");
    EXPECT_NE(test::ReadBytes(path).find("showProfit=1"), std::string::npos);
}

TEST(HoldingsStateTest, AFailedSaveSaysWhyAndLeavesTheFile) {
    test::TempDir dir;
    const auto path = dir.path() / "holdings.ini";
    test::WriteBytes(path, "[600000]\nshares=1\ncost=1\n");
    ::chmod(path.c_str(), 0444);
    PerCodeFile file(path);
    ASSERT_TRUE(file.Load());
    HoldingsPageState state;
    state.lines = {Line("600000", "2", "1")};
    EXPECT_NE(StoreHoldings(state, file).find("只读"), std::string::npos);
    EXPECT_EQ(test::ReadBytes(path), "[600000]\nshares=1\ncost=1\n");
}

}  // namespace
}  // namespace vemo
