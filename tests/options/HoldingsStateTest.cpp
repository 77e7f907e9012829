#include "options/HoldingsState.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/TestFiles.h"

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

// A line with no holding and these four rules' texts.
HoldingLine AlertLine(const char* code, std::vector<std::string> alerts) {
    return HoldingLine{code, "", {"", ""}, std::move(alerts)};
}

TEST(AlertColumnsStateTest, OpenWithTheRulesAndTheFilesBadTextsAsTheyStand) {
    test::TempDir dir;
    const auto path = dir.path() / "alerts.ini";
    test::WriteBytes(path, "[600000]\nabove=10.5\nfallBelow=3\nbelow=-1\n[300750]\nabove=1\n");
    AlertsFile alerts{PerCodeFile(path)};
    alerts.Load();
    HoldingsPageState state = HoldingsStateFrom({"600000", "000002"}, PerCodeFile(), {});
    AddAlertTexts(state, alerts);
    ASSERT_EQ(state.lines.size(), 2u);
    EXPECT_EQ(state.lines[0].alertTexts, (std::vector<std::string>{"10.50", "-1", "", "3"}));
    EXPECT_EQ(state.lines[1].alertTexts, (std::vector<std::string>(4, "")));
}

TEST(AlertColumnsStateTest, TheFirstWrongFieldOfThePageIsNamed) {
    HoldingsPageState state;
    state.lines = {AlertLine("600000", {"0.001", "1000000", "0.01", "100"}),
                   AlertLine("000002", {" 10.5 ", "", "", "2.5"})};
    EXPECT_EQ(ValidatePerCodePage(state).message, "");

    struct Case {
        std::size_t column;  // of the four alert fields
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {0, "0", MsgAlertPrice},          {0, "1000000.001", MsgAlertPrice},
        {1, "1.2345", MsgAlertPrice},     {1, "-1", MsgAlertPrice},
        {1, "abc", MsgAlertPrice},        {2, "0", MsgAlertPercent},
        {2, "100.01", MsgAlertPercent},   {3, "0.001", MsgAlertPercent},
        {3, "+5", MsgAlertPercent},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        HoldingsPageState bad = state;
        bad.lines[1].alertTexts[c.column] = c.text;
        const HoldingError error = ValidatePerCodePage(bad);
        EXPECT_EQ(error.message, c.message);
        EXPECT_EQ(error.line, 1u);
        EXPECT_EQ(error.column, HoldingColumnCount + c.column);
    }

    // Line by line: a bad holding on a later line does not hide an earlier bad rule, and on one
    // line the holding comes first.
    HoldingsPageState both = state;
    both.lines[0].alertTexts[3] = "x";
    both.lines[1].texts = {"x", "1"};
    EXPECT_EQ(ValidatePerCodePage(both).message, MsgAlertPercent);
    both.lines[0].texts = {"1", ""};
    EXPECT_EQ(ValidatePerCodePage(both).message, MsgHoldingCost);
    EXPECT_EQ(ValidatePerCodePage(both).line, 0u);
}

TEST(AlertColumnsStateTest, StoresTheRulesAndLeavesAnUnchangedFileAlone) {
    test::TempDir dir;
    const auto path = dir.path() / "alerts.ini";
    const std::string original =
        "; mine\n[600000]\nabove=10.5\nnote=keep\n[000002]\nbelow=x\n[300750]\nabove=1\n";
    test::WriteBytes(path, original);
    AlertsFile alerts{PerCodeFile(path)};
    alerts.Load();
    HoldingsPageState state = HoldingsStateFrom({"600000", "000002"}, PerCodeFile(), {});
    AddAlertTexts(state, alerts);
    state.lines[1].alertTexts[1] = "";  // the bad value is cleared
    ASSERT_EQ(StoreAlerts(state, alerts), "");
    // 600000 is as it was, so its "10.5" is not rewritten as "10.50"; 300750 is not listed.
    EXPECT_EQ(test::ReadBytes(path),
              "; mine\n[600000]\nabove=10.5\nnote=keep\n[300750]\nabove=1\n");

    const ino_t before = test::InodeOf(path);
    ASSERT_EQ(StoreAlerts(state, alerts), "");
    EXPECT_EQ(test::InodeOf(path), before);

    state.lines[0].alertTexts = {"", "9", "5", ""};
    ASSERT_EQ(StoreAlerts(state, alerts), "");
    EXPECT_EQ(test::ReadBytes(path),
              "; mine\n[600000]\nnote=keep\nbelow=9.00\r\nriseAbove=5\r\n[300750]\nabove=1\n");
    EXPECT_EQ(alerts.Rules().at("600000")[AlertKind::RiseAbove], 500);
}

}  // namespace
}  // namespace vemo
