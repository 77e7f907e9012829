#include "settings/AppStore.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <thread>

#include "settings/SettingsStore.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TestFiles.h"

namespace vemo {
namespace {

using test::TempDir;

class AppStoreTest : public ::testing::Test {
  protected:
    TempDir dir_;
    std::filesystem::path store_ = dir_.path() / "cfg" / "Quorvane" / "VemoMonitor" / "registry";

    int WriteText(const char* name, const std::string& bytes) {
        return WriteAppValue(store_, name, RegSz, bytes.data(),
                             static_cast<std::uint32_t>(bytes.size()));
    }
};

TEST_F(AppStoreTest, StringKeepsEveryByteAndItsExactLength) {
    const char raw[] = "\xD6\xD0\xCE\xC4 a\"b\\c\nline\0end\r\x7F";
    const std::string value(raw, sizeof raw - 1);
    ASSERT_EQ(WriteText("Guid", value), 0);

    char buffer[32];
    std::memset(buffer, 0x55, sizeof buffer);
    ASSERT_EQ(ReadAppValue(store_, "GUID", buffer, sizeof buffer), 0);
    EXPECT_EQ(std::string(buffer, value.size()), value);
    EXPECT_EQ(buffer[value.size()], '\0');
    EXPECT_EQ(buffer[value.size() + 1], 0x55);

    const auto length = static_cast<std::uint32_t>(value.size());
    std::vector<char> exact(length);
    EXPECT_EQ(ReadAppValue(store_, "Guid", exact.data(), length), 0);
    std::vector<char> small(length - 1, 0x55);
    EXPECT_LT(ReadAppValue(store_, "Guid", small.data(), length - 1), 0);
    for (char c : small) {
        ASSERT_EQ(c, 0x55);
    }

    // Readable, and one value a line whatever the bytes.
    const std::string text = test::ReadBytes(store_);
    EXPECT_NE(
        text.find("\"Guid\"=\"\\xD6\\xD0\\xCE\\xC4 a\\\"b\\\\c\\x0Aline\\x00end\\x0D\\x7F\"\n"),
        std::string::npos)
        << text;
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        ASSERT_TRUE(c == '\n' || (b >= 0x20 && b < 0x7F)) << int(b);
    }
}

TEST_F(AppStoreTest, NumbersReplaceAndMissingValues) {
    EXPECT_LT(ReadAppValue(store_, "Update", nullptr, 0), 0);  // no store yet

    const std::uint32_t build = 44;
    ASSERT_EQ(WriteAppValue(store_, "Update", RegDword, &build, 4), 0);
    ASSERT_EQ(WriteText("VemoCode", ",399001"), 0);
    const std::uint32_t newer = 0xFFFFFFFE;
    ASSERT_EQ(WriteAppValue(store_, "update", RegDword, &newer, 4), 0);

    std::uint32_t read = 0;
    ASSERT_EQ(ReadAppValue(store_, "Update", &read, 4), 0);
    EXPECT_EQ(read, newer);
    EXPECT_NE(test::ReadBytes(store_).find("\"Update\"=dword:fffffffe\n"), std::string::npos);
    EXPECT_LT(ReadAppValue(store_, "Absent", &read, 4), 0);

    EXPECT_LT(WriteAppValue(store_, "Short", RegDword, &build, 3), 0);
    EXPECT_LT(WriteAppValue(store_, "Binary", 3, &build, 4), 0);
}

TEST_F(AppStoreTest, PrivateFileInPrivateFolders) {
    ASSERT_EQ(WriteText("VemoCode", ",1A0001"), 0);
    EXPECT_EQ(test::ModeOf(store_), 0600u);
    EXPECT_EQ(test::ModeOf(store_.parent_path()), 0700u);
    EXPECT_EQ(test::ModeOf(dir_.path() / "cfg"), 0700u);
    EXPECT_EQ(test::Entries(store_.parent_path()), std::vector<std::string>{"registry"});
}

TEST_F(AppStoreTest, AStoreOthersCanReadIsWrittenBackPrivate) {
    ASSERT_EQ(WriteText("VemoCode", ",1A0001"), 0);
    ::chmod(store_.c_str(), 0644);
    ASSERT_EQ(WriteText("VemoCode", ",399001"), 0);
    EXPECT_EQ(test::ModeOf(store_), 0600u);
}

TEST_F(AppStoreTest, AReadOnlyStoreIsKept) {
    ASSERT_EQ(WriteText("VemoCode", ",1A0001"), 0);
    const std::string before = test::ReadBytes(store_);
    ::chmod(store_.c_str(), 0400);
    EXPECT_EQ(WriteText("VemoCode", ",399001"), AppStoreWriteFailed);
    EXPECT_EQ(test::ReadBytes(store_), before);
    EXPECT_EQ(test::ModeOf(store_), 0400u);
    char code[16] = {};
    EXPECT_EQ(ReadAppValue(store_, "VemoCode", code, sizeof code), 0);
    EXPECT_STREQ(code, ",1A0001");
}

TEST_F(AppStoreTest, AWriteCutShortLeavesTheOldStoreWhole) {
    ASSERT_EQ(WriteText("VemoCode", ",1A0001"), 0);
    const std::string before = test::ReadBytes(store_);
    const int result = test::RunInChild([&] { return -WriteText("Guid", std::string(4000, 'g')); },
                                        {.maxFileSize = 1000});
    EXPECT_EQ(result, -AppStoreWriteFailed);
    EXPECT_EQ(test::ReadBytes(store_), before);
    EXPECT_EQ(test::Entries(store_.parent_path()), std::vector<std::string>{"registry"});
}

TEST_F(AppStoreTest, DamagedLinesReadAsAbsentAndTheRestSurvivesAWrite) {
    std::filesystem::create_directories(store_.parent_path());
    const char damaged[] =
        "\"VemoCode\"=\",399001\"\n"
        "\"Guid\"=\"ABC\n"
        "\x01\x02\0\xFF junk\n"
        "\"Update\"=dword:2c\r\n";
    test::WriteBytes(store_, std::string(damaged, sizeof damaged - 1));
    char code[16] = {};
    ASSERT_EQ(ReadAppValue(store_, "VemoCode", code, sizeof code), 0);
    EXPECT_STREQ(code, ",399001");
    char guid[16];
    EXPECT_LT(ReadAppValue(store_, "Guid", guid, sizeof guid), 0);

    ASSERT_EQ(WriteText("Guid", "XYZ"), 0);
    std::uint32_t update = 0;
    EXPECT_EQ(ReadAppValue(store_, "Update", &update, 4), 0);
    EXPECT_EQ(update, 44u);
    EXPECT_EQ(ReadAppValue(store_, "VemoCode", code, sizeof code), 0);
    EXPECT_EQ(ReadAppValue(store_, "Guid", guid, sizeof guid), 0);
    EXPECT_STREQ(guid, "XYZ");
}

// Writes the value `rounds` times and reads it back after each write; returns how often it read
// anything but what it had just written.
int WriteAndReadBack(const std::filesystem::path& store, const char* name, std::uint32_t rounds) {
    int lost = 0;
    for (std::uint32_t i = 1; i <= rounds; ++i) {
        std::uint32_t read = 0;
        if (WriteAppValue(store, name, RegDword, &i, sizeof i) != AppStoreOk ||
            ReadAppValue(store, name, &read, sizeof read) != AppStoreOk || read != i) {
            ++lost;
        }
    }
    return lost;
}

TEST_F(AppStoreTest, WritersAtTheSameTimeKeepEachOthersValues) {
    // The notice thread and the interface thread of the ticker, and another program of the
    // user's, each writing its own value.
    constexpr std::uint32_t Rounds = 100;
    ASSERT_EQ(WriteText("VemoCode", ",1A0001"), 0);
    const pid_t child = ::fork();  // before any thread of this process holds a lock
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::_exit(std::min(WriteAndReadBack(store_, "Other", Rounds), 255));
    }
    int lostByGuid = 0;
    int lostByUpdate = 0;
    std::thread guid([&] { lostByGuid = WriteAndReadBack(store_, "Guid", Rounds); });
    std::thread update([&] { lostByUpdate = WriteAndReadBack(store_, "Update", Rounds); });
    guid.join();
    update.join();
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));

    EXPECT_EQ(lostByGuid, 0);
    EXPECT_EQ(lostByUpdate, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "values lost by the other process";
    for (const char* name : {"Guid", "Update", "Other"}) {
        std::uint32_t last = 0;
        EXPECT_EQ(ReadAppValue(store_, name, &last, sizeof last), 0) << name;
        EXPECT_EQ(last, Rounds) << name;
    }
    char code[16] = {};
    EXPECT_EQ(ReadAppValue(store_, "VemoCode", code, sizeof code), 0);
    EXPECT_STREQ(code, ",1A0001");
}

TEST_F(AppStoreTest, UnusableStoreFails) {
    const auto plain = dir_.path() / "plain";
    test::WriteBytes(plain, "x");
    EXPECT_EQ(WriteAppValue(plain / "registry", "VemoCode", RegSz, ",", 1), AppStoreWriteFailed);
    char code[4];
    EXPECT_LT(ReadAppValue(plain / "registry", "VemoCode", code, sizeof code), 0);

    // A store that exists and cannot be read is never written over.
    std::filesystem::create_directories(store_);
    EXPECT_EQ(WriteText("VemoCode", ","), AppStoreUnavailable);
    EXPECT_TRUE(std::filesystem::is_directory(store_));
}

TEST(AppStorePathTest, FollowsTheBaseDirectoryRules) {
    {
        test::ScopedEnv xdg("XDG_CONFIG_HOME", "/x/cfg");
        EXPECT_EQ(DefaultAppStorePath(), "/x/cfg/Quorvane/VemoMonitor/registry");
    }
    test::ScopedEnv home("HOME", "/home/u");
    for (const char* ignored : {"", "relative/cfg"}) {
        test::ScopedEnv xdg("XDG_CONFIG_HOME", ignored);
        EXPECT_EQ(DefaultAppStorePath(), "/home/u/.config/Quorvane/VemoMonitor/registry");
    }
    EXPECT_EQ(SettingsFilesFor("/opt/vemo").iniFile, "/opt/vemo/vemo.ini");
}

}  // namespace
}  // namespace vemo
