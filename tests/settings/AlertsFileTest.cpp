#include "settings/AlertsFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>

#include "tests/support/TestFiles.h"

namespace vemo {
namespace {

using test::TempDir;

AlertRules Rules(std::int64_t above, std::int64_t below, std::int64_t rise, std::int64_t fall) {
    AlertRules rules;
    rules.values = {above, below, rise, fall};
    return rules;
}

TEST(AlertsFileTest, LivesBesideThePerUserStoreAndReadsBackWhatItWrote) {
    TempDir dir;
    test::ScopedEnv config("XDG_CONFIG_HOME", dir.path().string());
    AlertsFile file = AlertsFile::InUserFolder();
    EXPECT_EQ(file.Path(), dir.path() / "Quorvane" / "VemoMonitor" / "alerts.ini");
    ASSERT_TRUE(file.Load());
    EXPECT_TRUE(file.Rules().empty());
    file.SetRules("600000", Rules(10'500, 0, 0, 300));
    file.SetRules("1A0001", Rules(0, 2'900'000, 150, 0));
    ASSERT_TRUE(file.Save().Ok());
    EXPECT_EQ(test::ReadBytes(file.Path()),
              "[600000]\r\nabove=10.50\r\nfallBelow=3\r\n[1A0001]\r\nbelow=2900.00\r\n"
              "riseAbove=1.5\r\n");
    EXPECT_EQ(test::ModeOf(file.Path()), 0600u);

    AlertsFile again = AlertsFile::InUserFolder();
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.Rules(), file.Rules());
    EXPECT_EQ(again.Rules().at("600000"), Rules(10'500, 0, 0, 300));
}

TEST(AlertsFileTest, BadValuesAreIgnoredNamedAndKeptUntilTheUserSaves) {
    TempDir dir;
    const auto path = dir.path() / "alerts.ini";
    const std::string text =
        "; my lines\n[600000]\nabove = 10.5\nbelow=-3\nnote=watch the dividend\n"
        "riseAbove=5.001\n[000001]\nfallBelow=abc\n[misc]\nx=1\n";
    test::WriteBytes(path, text);
    AlertsFile file{PerCodeFile(path)};
    ASSERT_TRUE(file.Load());
    // The good rule of a code stands beside its bad ones; a code with only bad ones has none.
    EXPECT_EQ(file.Rules().size(), 1u);
    EXPECT_EQ(file.Rules().at("600000"), Rules(10'500, 0, 0, 0));
    ASSERT_EQ(file.Problems().size(), 3u);
    EXPECT_EQ(file.BadText("600000", AlertKind::Below), "-3");
    EXPECT_EQ(file.BadText("000001", AlertKind::FallBelow), "abc");
    EXPECT_EQ(file.BadText("600000", AlertKind::Above), std::nullopt);

    std::ostringstream report;
    ReportAlertFileProblems(file, report);
    EXPECT_NE(report.str().find("[600000] below=-3"), std::string::npos) << report.str();
    EXPECT_NE(report.str().find("[600000] riseAbove=5.001"), std::string::npos);
    EXPECT_NE(report.str().find("[000001] fallBelow=abc"), std::string::npos);

    // Loading rewrites nothing; saving one code's rules leaves everything else as it stood.
    EXPECT_EQ(test::ReadBytes(path), text);
    file.SetRules("000001", Rules(0, 8'000, 0, 0));
    ASSERT_TRUE(file.Save().Ok());
    EXPECT_EQ(test::ReadBytes(path),
              "; my lines\n[600000]\nabove = 10.5\nbelow=-3\nnote=watch the dividend\n"
              "riseAbove=5.001\n[000001]\nbelow=8.00\r\n[misc]\nx=1\n");
    EXPECT_EQ(file.Problems().size(), 2u);

    // Clearing a code's rules removes its keys, not what else its section holds.
    file.SetRules("600000", AlertRules{});
    ASSERT_TRUE(file.Save().Ok());
    EXPECT_EQ(test::ReadBytes(path),
              "; my lines\n[600000]\nnote=watch the dividend\n[000001]\nbelow=8.00\r\n[misc]\nx=1\n");
    EXPECT_FALSE(file.Rules().contains("600000"));
}

TEST(AlertsFileTest, AReadOnlyFileIsLeftAsItIs) {
    TempDir dir;
    const auto path = dir.path() / "alerts.ini";
    test::WriteBytes(path, "[600000]\nabove=10\n");
    ::chmod(path.c_str(), 0400);
    AlertsFile file{PerCodeFile(path)};
    ASSERT_TRUE(file.Load());
    EXPECT_EQ(file.Rules().at("600000"), Rules(10'000, 0, 0, 0));
    file.SetRules("600000", Rules(11'000, 0, 0, 0));
    const FileSaveResult saved = file.Save();
    EXPECT_FALSE(saved.Ok());
    EXPECT_FALSE(saved.reason.empty());
    EXPECT_EQ(test::ReadBytes(path), "[600000]\nabove=10\n");
}

}  // namespace
}  // namespace vemo
