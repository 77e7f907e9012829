#include "settings/UserFolders.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <optional>
#include <string>

#include "tests/support/TestFiles.h"

namespace vemo {
namespace {

using test::ScopedEnv;

TEST(UserFoldersTest, OnlyAbsoluteFoldersAreTakenFromTheEnvironment) {
    ScopedEnv home("HOME", "/home/u");
    {
        ScopedEnv cache("XDG_CACHE_HOME", "/x/cache");
        ScopedEnv config("XDG_CONFIG_HOME", "/x/config");
        ScopedEnv runtime("XDG_RUNTIME_DIR", "/run/user/1000");
        ScopedEnv temp("TMPDIR", "/var/tmp");
        EXPECT_EQ(CacheHome(), "/x/cache");
        EXPECT_EQ(ConfigHomeFolder(), "/x/config");
        EXPECT_EQ(RuntimeFolder(), "/run/user/1000");
        EXPECT_EQ(TempFolder(), "/var/tmp");
    }
    // A relative value would name another folder once the program has moved to its own.
    for (const char* ignored : {"", "relative/folder"}) {
        SCOPED_TRACE(ignored);
        ScopedEnv cache("XDG_CACHE_HOME", ignored);
        ScopedEnv config("XDG_CONFIG_HOME", ignored);
        ScopedEnv runtime("XDG_RUNTIME_DIR", ignored);
        ScopedEnv temp("TMPDIR", ignored);
        EXPECT_EQ(CacheHome(), "/home/u/.cache");
        EXPECT_EQ(ConfigHomeFolder(), "/home/u/.config");
        EXPECT_EQ(RuntimeFolder(), "");
        EXPECT_EQ(TempFolder(), "/tmp");
    }
}

TEST(UserFoldersTest, WithoutAHomeInTheEnvironmentTheUsersEntryCounts) {
    const passwd* entry = ::getpwuid(::getuid());
    ASSERT_NE(entry, nullptr);
    const std::filesystem::path home = entry->pw_dir;
    ScopedEnv cache("XDG_CACHE_HOME", std::nullopt);
    ScopedEnv config("XDG_CONFIG_HOME", std::nullopt);
    for (const std::optional<std::string>& value :
         {std::optional<std::string>(), std::optional<std::string>("relative/home")}) {
        ScopedEnv unusable("HOME", value);
        EXPECT_EQ(HomeFolder(), home);
        EXPECT_EQ(CacheHome(), home / ".cache");
        EXPECT_EQ(ConfigHomeFolder(), home / ".config");
    }
}

}  // namespace
}  // namespace vemo
