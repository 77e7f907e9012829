#include "settings/IniFile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "tests/support/ChildProcess.h"
#include "tests/support/TestFiles.h"

namespace vemo {
namespace {

using test::TempDir;

TEST(IniDocumentTest, FindsNamesWithoutRegardToCaseAndTrimsBlanks) {
    const IniDocument ini(
        "\xEF\xBB\xBF[UserSet]\n"
        "  FontSize =  3 \r\n"
        "[ winstat ] ; comment\n"
        "WSTAT=abc\n");
    EXPECT_EQ(ini.Find("userset", "fontsize").value_or("-"), "3");
    EXPECT_EQ(ini.Find("WinStat", "wstat").value_or("-"), "abc");
    EXPECT_FALSE(ini.Find("UserSet", "wstat"));
    EXPECT_FALSE(ini.Find("Other", "fontsize"));
}

TEST(IniDocumentTest, FirstSectionAndFirstKeyWin) {
    const IniDocument ini(
        "[S]\nk=first\nk=second\nflag\n"
        "[S]\nk=third\nonly=later\n");
    EXPECT_EQ(ini.Find("S", "k").value_or("-"), "first");
    // Keys of a repeated section are not seen, and a line without "=" is no key.
    EXPECT_FALSE(ini.Find("S", "only"));
    EXPECT_FALSE(ini.Find("S", "flag"));
}

TEST(IniDocumentTest, HeaderWithoutClosingBracketStartsNoSection) {
    const IniDocument ini("[A]\na=1\n[B\nb=2\n");
    EXPECT_FALSE(ini.Find("B", "b"));
    EXPECT_EQ(ini.Find("A", "b").value_or("-"), "2");
}

TEST(IniDocumentTest, ReplacingAKeyKeepsEveryOtherByte) {
    const std::string before =
        "; comment\n[A]\nx = 1\n\n[UserSet]\r\n  FontSize=2 \nother=\xD6\xD0\n";
    IniDocument ini(before);
    ASSERT_TRUE(ini.Set("USERSET", "fontsize", "4"));
    EXPECT_EQ(ini.Text(), "; comment\n[A]\nx = 1\n\n[UserSet]\r\nFontSize=4\r\nother=\xD6\xD0\n");
    EXPECT_TRUE(ini.Modified());
}

TEST(IniDocumentTest, NewKeysFollowTheSectionsLastLineAndNewSectionsGoAtTheEnd) {
    IniDocument ini("[A]\r\na=1\r\n\r\n[B]\r\nb=2");
    ASSERT_TRUE(ini.Set("a", "c", "3"));
    ASSERT_TRUE(ini.Set("B", "d", "4"));
    ASSERT_TRUE(ini.Set("C", "e", "5"));
    EXPECT_EQ(ini.Text(), "[A]\r\na=1\r\nc=3\r\n\r\n[B]\r\nb=2\r\nd=4\r\n[C]\r\ne=5\r\n");
}

TEST(IniDocumentTest, RefusesWhatCannotBeWrittenAsOneLine) {
    IniDocument ini("[A]\na=1\n");
    EXPECT_FALSE(ini.Set("A", "a", "two\r\nlines"));
    EXPECT_FALSE(ini.Set("A", "k=v", "1"));
    EXPECT_FALSE(ini.Set("A", "[B]", "1"));
    EXPECT_FALSE(ini.Set("", "a", "1"));
    EXPECT_FALSE(ini.Set("A", " a", "1"));
    EXPECT_EQ(ini.Text(), "[A]\na=1\n");
    EXPECT_FALSE(ini.Modified());
}

TEST(IniDocumentTest, IntegersAsTheProfileFunctionReadsThem) {
    const IniDocument ini("[S]\na=42\nb=-1\nc=+7\nd=12abc\ne=abc\nf=\ng=4294967297\n");
    EXPECT_EQ(ini.GetInt("S", "a", 9), 42);
    EXPECT_EQ(ini.GetInt("S", "b", 9), -1);
    EXPECT_EQ(ini.GetInt("S", "c", 9), 7);
    EXPECT_EQ(ini.GetInt("S", "d", 9), 12);
    EXPECT_EQ(ini.GetInt("S", "e", 9), 0);
    EXPECT_EQ(ini.GetInt("S", "f", 9), 9);
    EXPECT_EQ(ini.GetInt("S", "g", 9), 1);
    EXPECT_EQ(ini.GetInt("S", "absent", 9), 9);
}

TEST(ProfileStructTest, EncodesUpperCaseHexWithChecksum) {
    const std::uint32_t su[7] = {0xE6FFFF, 0xFF0000, 0x0000FF, 0x009900, 0, 0x75, 0x0A};
    EXPECT_EQ(EncodeProfileStruct(su, sizeof su),
              "FFFFE6000000FF00FF0000000099000000000000750000000A000000FA");
}

TEST(ProfileStructTest, AcceptsOnlyExactLengthMatchingChecksumAndHexDigits) {
    unsigned char out[3] = {7, 7, 7};
    EXPECT_TRUE(
        DecodeProfileStruct("0aFf10"
                            "19",
                            out, 3));
    EXPECT_EQ(out[0], 0x0A);
    EXPECT_EQ(out[1], 0xFF);
    EXPECT_EQ(out[2], 0x10);

    unsigned char untouched[3] = {7, 7, 7};
    for (const char* bad : {"0AFF1019 ", "0AFF101", "0AFF101900", "0AFF1018", "0AFG1019", ""}) {
        EXPECT_FALSE(DecodeProfileStruct(bad, untouched, 3)) << bad;
    }
    EXPECT_EQ(untouched[0], 7);
    EXPECT_EQ(untouched[2], 7);
}

TEST(PrivateProfileFileTest, WritesCrLfLinesToANewPrivateFile) {
    TempDir dir;
    const auto file = dir.path() / "vemo.ini";
    const unsigned char block[2] = {0x01, 0xFE};
    ASSERT_TRUE(WritePrivateProfileStructA("WinStat", "wstat", block, 2, file));
    ASSERT_TRUE(WritePrivateProfileStringA("UserSet", "version", "43", file));
    EXPECT_EQ(test::ReadBytes(file), "[WinStat]\r\nwstat=01FEFF\r\n[UserSet]\r\nversion=43\r\n");
    EXPECT_EQ(test::ModeOf(file), 0600u);
    EXPECT_EQ(test::Entries(dir.path()), std::vector<std::string>{"vemo.ini"});

    unsigned char back[2] = {};
    EXPECT_TRUE(GetPrivateProfileStructA("winstat", "WSTAT", back, 2, file));
    EXPECT_EQ(back[1], 0xFE);
    EXPECT_EQ(GetPrivateProfileIntA("UserSet", "version", 0, file), 43);
}

TEST(PrivateProfileFileTest, ExistingFileKeepsItsModeAndUnchangedWritesLeaveItAlone) {
    TempDir dir;
    const auto file = dir.path() / "vemo.ini";
    test::WriteBytes(file, "[S]\nk=1\n");
    ::chmod(file.c_str(), 0644);
    ASSERT_TRUE(WritePrivateProfileStringA("S", "k", "2", file));
    EXPECT_EQ(test::ReadBytes(file), "[S]\nk=2\r\n");
    EXPECT_EQ(test::ModeOf(file), 0644u);

    const ino_t inode = test::InodeOf(file);
    ASSERT_TRUE(WritePrivateProfileStringA("S", "K", "2", file));
    EXPECT_EQ(test::InodeOf(file), inode);
}

TEST(PrivateProfileFileTest, ALinkIsFollowedAndStaysALink) {
    TempDir dir;
    const auto real = dir.path() / "real.ini";
    const auto link = dir.path() / "vemo.ini";
    test::WriteBytes(real, "[S]\r\n");
    std::filesystem::create_symlink(real, link);
    ASSERT_TRUE(WritePrivateProfileStringA("S", "k", "v", link));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(test::ReadBytes(real), "[S]\r\nk=v\r\n");
}

TEST(PrivateProfileFileTest, FailedWriteReportsAndLeavesNothing) {
    TempDir dir;
    const auto notAFolder = dir.path() / "plain";
    test::WriteBytes(notAFolder, "x");
    EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "v", notAFolder / "vemo.ini"));
    EXPECT_EQ(test::Entries(dir.path()), std::vector<std::string>{"plain"});

    // A file that exists but cannot be read is not written over.
    const auto folderAsFile = dir.path() / "vemo.ini";
    std::filesystem::create_directory(folderAsFile);
    EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "v", folderAsFile));
    EXPECT_TRUE(std::filesystem::is_directory(folderAsFile));
}

TEST(PrivateProfileFileTest, AFileItsOwnerMayNotWriteIsKeptAndStillRead) {
    TempDir dir;
    const auto file = dir.path() / "vemo.ini";
    test::WriteBytes(file, "[S]\r\nk=1\r\n");
    for (const mode_t readOnly : {0444, 0400, 0044}) {
        ::chmod(file.c_str(), readOnly);
        // Refused whoever asks, root too.
        EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "2", file)) << std::oct << readOnly;
        EXPECT_FALSE(WritePrivateProfileStringA("S", "new", "3", file));
        EXPECT_EQ(test::ReadBytes(file), "[S]\r\nk=1\r\n");
        EXPECT_EQ(test::ModeOf(file), readOnly);
        EXPECT_EQ(GetPrivateProfileIntA("S", "k", 0, file), 1);
    }
    EXPECT_EQ(test::Entries(dir.path()), std::vector<std::string>{"vemo.ini"});
    // Through a link, the file's own mode counts.
    const auto link = dir.path() / "link.ini";
    std::filesystem::create_symlink(file, link);
    EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "2", link));
    ::chmod(file.c_str(), 0200);
    EXPECT_TRUE(WritePrivateProfileStringA("S", "k", "2", link));
}

TEST(PrivateProfileFileTest, AWriteCutShortLeavesTheOldFileWhole) {
    TempDir dir;
    const auto file = dir.path() / "vemo.ini";
    const std::string old = "[S]\r\nk=1\r\n";
    test::WriteBytes(file, old);
    // The new text is longer than the child may write: the write fails part way.
    const int written = test::RunInChild(
        [&] {
            const std::string value(4000, 'x');
            return WritePrivateProfileStringA("S", "long", value.c_str(), file) ? 1 : 0;
        },
        {.maxFileSize = 1000});
    EXPECT_EQ(written, 0);
    EXPECT_EQ(test::ReadBytes(file), old);
    EXPECT_EQ(test::Entries(dir.path()), std::vector<std::string>{"vemo.ini"});
}

TEST(PrivateProfileFileTest, StringReadsStripQuotesTruncateAndFallBack) {
    TempDir dir;
    const auto file = dir.path() / "answer.ini";
    test::WriteBytes(file, "[VEMO]\ninfo=\"quoted text\"\ninfourl=http://example.com/x\n");
    char buffer[8];
    EXPECT_EQ(GetPrivateProfileStringA("VEMO", "info", "", buffer, sizeof buffer, file), 7u);
    EXPECT_STREQ(buffer, "quoted ");
    EXPECT_EQ(GetPrivateProfileStringA("VEMO", "none", "dflt  ", buffer, sizeof buffer, file), 4u);
    EXPECT_STREQ(buffer, "dflt");
    EXPECT_EQ(GetPrivateProfileStringA("VEMO", "x", "d", buffer, sizeof buffer, dir.path() / "no"),
              1u);
}

}  // namespace
}  // namespace vemo
