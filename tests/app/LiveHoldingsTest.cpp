#include "app/LiveHoldings.h"

#include <gtest/gtest.h>

#include "tests/support/TestFiles.h"

namespace vemo {
namespace {

TEST(LiveHoldingsTest, EachBadValueIsNamedOnceAndTheTableFollowsTheFile) {
    test::TempDir dir;
    const auto path = dir.path() / "holdings.ini";
    LiveHoldings live(path);
    ASSERT_NE(live.Current(), nullptr);
    EXPECT_TRUE(live.Current()->table.Empty());

    test::WriteBytes(path, "[600000]\nshares=1000\ncost=9.85\n[000002]\nshares=x\ncost=1\n");
    std::vector<std::string> named = live.Load();
    ASSERT_EQ(named.size(), 1u);
    EXPECT_NE(named[0].find("[000002] shares=x"), std::string::npos);
    EXPECT_TRUE(live.Load().empty());  // read again: not named again
    const std::shared_ptr<const LoadedHoldings> first = live.Current();
    ASSERT_NE(first->Shown(), nullptr);
    EXPECT_NE(first->Shown()->Find("600000"), nullptr);

    // After the options dialog saved: the new table replaces the old one whole, and a new bad
    // value is named.
    test::WriteBytes(path, "[VEMO]\nshowProfit=0\n[600000]\nshares=2000\ncost=y\n");
    named = live.Load();
    ASSERT_EQ(named.size(), 1u);
    EXPECT_NE(named[0].find("[600000] cost=y"), std::string::npos);
    EXPECT_EQ(live.Current()->Shown(), nullptr);
    EXPECT_EQ(first->table.Find("600000")->shares, 1000);  // a renderer's copy stays intact

    std::filesystem::remove(path);
    std::filesystem::create_directory(path);
    named = live.Load();
    ASSERT_EQ(named.size(), 1u);
    EXPECT_NE(named[0].find("无法读取"), std::string::npos);
}

TEST(LiveHoldingsTest, NamesOfTheLastQuotes) {
    LiveHoldings live("/nonexistent/holdings.ini");
    EXPECT_TRUE(live.Names().empty());
    live.NoteNames({{"600000", "浦发银行"}});
    EXPECT_EQ(live.Names().at("600000"), "浦发银行");
}

}  // namespace
}  // namespace vemo
