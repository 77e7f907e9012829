#include "settings/AlertSwitch.h"

#include <gtest/gtest.h>

#include "tests/support/TestFiles.h"

namespace vemo {
namespace {

TEST(AlertSwitchTest, OnUntilTurnedOffAndKeptByTheSettingsWriter) {
    test::TempDir dir;
    const SettingsFiles files{dir.path() / "vemo.ini", dir.path() / "registry"};
    EXPECT_TRUE(LoadAlertsOn(files));
    SaveSettings(DefaultTickerSettings(), files);
    EXPECT_TRUE(LoadAlertsOn(files));
    ASSERT_TRUE(SaveAlertsOn(false, files));
    EXPECT_FALSE(LoadAlertsOn(files));
    // Saving the settings record, as every version does, leaves the key alone.
    TickerSettings changed = DefaultTickerSettings();
    changed.refreshSeconds = 30;
    SaveSettings(changed, files);
    EXPECT_FALSE(LoadAlertsOn(files));
    EXPECT_NE(test::ReadBytes(files.iniFile).find("alerts=0"), std::string::npos);
    ASSERT_TRUE(SaveAlertsOn(true, files));
    EXPECT_TRUE(LoadAlertsOn(files));
}

}  // namespace
}  // namespace vemo
