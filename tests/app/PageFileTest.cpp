#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/PageFile.h"

namespace vemo {
namespace {

namespace fs = std::filesystem;

class PageFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/vemo-pagefile-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    static std::string Read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    fs::path dir;
};

TEST_F(PageFileTest, CacheFolderWhenItExistsElseTemporaryFolder) {
    fs::create_directory(dir / "cache");
    EXPECT_EQ(PageFilePath(dir / "cache", dir / "tmp"), dir / "cache" / "vemotmp.htm");
    EXPECT_EQ(PageFilePath(dir / "missing", dir / "tmp"), dir / "tmp" / "vemotmp.htm");
}

TEST_F(PageFileTest, WritesTextWithCrLfAndReplacesOldContent) {
    const fs::path page = dir / "vemotmp.htm";
    ASSERT_TRUE(WritePageFile(page, std::string(5000, 'x')));
    ASSERT_TRUE(WritePageFile(page, "<html>\n<body>a</body>\n</html>"));
    EXPECT_EQ(Read(page), "<html>\r\n<body>a</body>\r\n</html>");
    struct stat info {};
    ASSERT_EQ(stat(page.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(PageFileTest, NeverWritesThroughALink) {
    const fs::path victim = dir / "victim";
    std::ofstream(victim) << "keep me";
    const fs::path page = dir / "vemotmp.htm";
    fs::create_symlink(victim, page);
    EXPECT_FALSE(WritePageFile(page, "<html></html>"));
    EXPECT_EQ(Read(victim), "keep me");
}

TEST_F(PageFileTest, FailsInAMissingFolderOrOnAFolder) {
    EXPECT_FALSE(WritePageFile(dir / "no" / "vemotmp.htm", "x"));
    fs::create_directory(dir / "vemotmp.htm");
    EXPECT_FALSE(WritePageFile(dir / "vemotmp.htm", "x"));
}

}  // namespace
}  // namespace vemo
