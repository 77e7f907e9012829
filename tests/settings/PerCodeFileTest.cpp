#include "settings/PerCodeFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/TestFiles.h"
#include "settings/AtomicFile.h"
#include "tests/support/ChildProcess.h"

namespace vemo {
namespace {

using test::TempDir;

TEST(PerCodeFileTest, LivesBesideThePerUserStore) {
    TempDir dir;
    test::ScopedEnv config("XDG_CONFIG_HOME", dir.path().string());
    EXPECT_EQ(PerCodeFile::InUserFolder("holdings.ini").Path(),
              dir.path() / "Quorvane" / "VemoMonitor" / "holdings.ini");
    test::ScopedEnv relative("XDG_CONFIG_HOME", "relative");
    test::ScopedEnv home("HOME", dir.path().string());
    EXPECT_EQ(PerUserFolder(), dir.path() / ".config" / "Quorvane" / "VemoMonitor");
}

TEST(PerCodeFileTest, SavesANewPrivateFileInAFolderItMakes) {
    TempDir dir;
    const auto file = dir.path() / "a" / "b" / "holdings.ini";
    PerCodeFile codes(file);
    EXPECT_TRUE(codes.Load());  // missing reads as empty
    EXPECT_TRUE(codes.Codes().empty());
    ASSERT_TRUE(codes.Set("600000", "shares", "1000"));
    ASSERT_TRUE(codes.Set("600000", "cost", "9.850"));
    ASSERT_TRUE(codes.Set("000001", "shares", "200"));
    EXPECT_TRUE(codes.Modified());
    const FileSaveResult saved = codes.Save();
    EXPECT_TRUE(saved.Ok()) << saved.reason;
    EXPECT_FALSE(codes.Modified());
    EXPECT_EQ(test::ReadBytes(file),
              "[600000]\r\nshares=1000\r\ncost=9.850\r\n[000001]\r\nshares=200\r\n");
    EXPECT_EQ(test::ModeOf(file), 0600u);

    PerCodeFile again(file);
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.Codes(), (std::vector<std::string>{"600000", "000001"}));
    EXPECT_EQ(again.Get("600000", "cost"), "9.850");
    EXPECT_EQ(again.Get("000001", "cost"), std::nullopt);
}

TEST(PerCodeFileTest, KeepsWhatItDoesNotKnowAndRemovesOnlyWhatItIsTold) {
    TempDir dir;
    const auto file = dir.path() / "holdings.ini";
    // LF lines, a comment, an unknown section and key, and a code no longer watched.
    const std::string text =
        "; mine\n[600000]\nshares = 1000\nnote=long term\ncost=9.85\n\n[notes]\nx=1\n"
        "[300750]\nshares=5\ncost=1\n";
    test::WriteBytes(file, text);
    PerCodeFile codes(file);
    ASSERT_TRUE(codes.Load());
    EXPECT_EQ(codes.Codes(), (std::vector<std::string>{"600000", "notes", "300750"}));
    EXPECT_EQ(codes.Get("600000", "shares"), "1000");

    // Rewriting a value with itself changes nothing and writes nothing.
    codes.Set("600000", "shares", "1000");
    EXPECT_FALSE(codes.Modified());
    const ino_t before = test::InodeOf(file);
    EXPECT_TRUE(codes.Save().Ok());
    EXPECT_EQ(test::InodeOf(file), before);

    codes.Set("600000", "shares", "2000");
    codes.Remove("600000", "cost");
    codes.Remove("300750", "shares");
    codes.Remove("300750", "cost");  // the section is empty now and goes
    codes.Remove("999999", "cost");  // nothing there
    ASSERT_TRUE(codes.Save().Ok());
    EXPECT_EQ(test::ReadBytes(file),
              "; mine\n[600000]\nshares=2000\r\nnote=long term\n\n[notes]\nx=1\n");

    // A section with an unknown key is not empty; a later twin keeps the first's header.
    test::WriteBytes(file, "[1]\nshares=1\n[2]\nshares=2\nx=y\n[1]\nshares=9\n");
    ASSERT_TRUE(codes.Load());
    codes.Remove("1", "shares");
    codes.Remove("2", "shares");
    ASSERT_TRUE(codes.Save().Ok());
    EXPECT_EQ(test::ReadBytes(file), "[1]\n[2]\nx=y\n[1]\nshares=9\n");
    EXPECT_EQ(codes.Get("1", "shares"), std::nullopt);
}

TEST(PerCodeFileTest, RefusesValuesThatWouldBreakTheFile) {
    PerCodeFile codes(std::filesystem::path("/nonexistent/holdings.ini"));
    EXPECT_FALSE(codes.Set("600000", "shares", "1\n[600001]"));
    EXPECT_FALSE(codes.Set("600000", "a=b", "1"));
    EXPECT_FALSE(codes.Set("", "shares", "1"));
    EXPECT_FALSE(codes.Modified());
}

TEST(PerCodeFileTest, AFailedSaveLeavesTheOldFileAndSaysWhy) {
    TempDir dir;
    const auto file = dir.path() / "holdings.ini";
    const std::string old = "[600000]\r\nshares=1\r\n";
    test::WriteBytes(file, old);

    // Read-only, for root too.
    ::chmod(file.c_str(), 0444);
    PerCodeFile codes(file);
    ASSERT_TRUE(codes.Load());
    codes.Set("600000", "shares", "2");
    FileSaveResult saved = codes.Save();
    EXPECT_EQ(saved.code, ReplaceReadOnly);
    EXPECT_NE(saved.reason.find("只读"), std::string::npos);
    EXPECT_TRUE(codes.Modified());  // still to be saved
    EXPECT_EQ(test::ReadBytes(file), old);
    EXPECT_EQ(test::ModeOf(file), 0444u);
    ::chmod(file.c_str(), 0600);

    // Cut short by the file size limit.
    const int code = test::RunInChild(
        [&] {
            codes.Set("600000", "note", std::string(4000, 'x'));
            return -codes.Save().code;
        },
        {.maxFileSize = 1000});
    EXPECT_EQ(code, -ReplaceWriteFailed);
    EXPECT_EQ(test::ReadBytes(file), old);
    EXPECT_EQ(test::Entries(dir.path()), std::vector<std::string>{"holdings.ini"});
}

TEST(PerCodeFileTest, AFileThatCannotBeReadIsNeverWrittenOver) {
    TempDir dir;
    const auto file = dir.path() / "holdings.ini";
    std::filesystem::create_directory(file);
    PerCodeFile codes(file);
    EXPECT_FALSE(codes.Load());
    EXPECT_TRUE(codes.Codes().empty());
    codes.Set("600000", "shares", "1");
    EXPECT_EQ(codes.Save().code, SaveUnreadable);
    EXPECT_TRUE(std::filesystem::is_directory(file));

    // A folder that cannot be made (a file stands in its way).
    test::WriteBytes(dir.path() / "plain", "x");
    PerCodeFile blocked(dir.path() / "plain" / "holdings.ini");
    EXPECT_TRUE(blocked.Load());
    blocked.Set("600000", "shares", "1");
    const FileSaveResult saved = blocked.Save();
    EXPECT_FALSE(saved.Ok());
    EXPECT_FALSE(saved.reason.empty());
}

}  // namespace
}  // namespace vemo
