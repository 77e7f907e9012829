#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/PageFile.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TestFiles.h"

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

TEST_F(PageFileTest, TheUsersCacheOrRuntimeFolderElseAUserNameInTheTemporaryFolder) {
    fs::create_directory(dir / "cache");
    fs::create_directory(dir / "run");
    EXPECT_EQ(PageFilePath({dir / "cache", dir / "run", dir / "tmp"}),
              dir / "cache" / "vemotmp.htm");
    EXPECT_EQ(PageFilePath({dir / "missing", dir / "run", dir / "tmp"}),
              dir / "run" / "vemotmp.htm");
    const fs::path shared = PageFilePath({dir / "missing", dir / "gone", dir / "tmp"});
    EXPECT_EQ(shared, dir / "tmp" / ("vemotmp-" + std::to_string(geteuid()) + ".htm"));
    EXPECT_EQ(PageFilePath({{}, {}, dir / "tmp"}), shared);

    // Another user gets a name of their own in the shared folder.
    if (geteuid() == 0) {
        const int differs = test::RunInChild(
            [&] {
                return PageFilePath({{}, {}, dir / "tmp"}) != shared ? 1 : 0;
            },
            {.dropPrivileges = true});
        EXPECT_EQ(differs, 1);
    }
}

TEST_F(PageFileTest, RelativeFoldersOfTheEnvironmentAreNotTaken) {
    // Folders that a relative value would name from where the program was started.
    const fs::path started = fs::current_path();
    fs::current_path(dir);
    fs::create_directory(dir / "cache");
    fs::create_directory(dir / "run");
    fs::create_directories(dir / "home" / ".cache");
    {
        test::ScopedEnv home("HOME", (dir / "home").string());
        test::ScopedEnv cache("XDG_CACHE_HOME", "cache");
        test::ScopedEnv runtime("XDG_RUNTIME_DIR", "run");
        test::ScopedEnv temp("TMPDIR", "run");
        EXPECT_EQ(PageFilePath(), dir / "home" / ".cache" / "vemotmp.htm");
        fs::remove(dir / "home" / ".cache");
        EXPECT_EQ(PageFilePath(),
                  fs::path("/tmp") / ("vemotmp-" + std::to_string(geteuid()) + ".htm"));
    }
    fs::current_path(started);
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

TEST_F(PageFileTest, NeverWritesThroughALinkOrIntoAnotherName) {
    const fs::path victim = dir / "victim";
    std::ofstream(victim) << "keep me";
    const fs::path page = dir / "vemotmp.htm";
    fs::create_symlink(victim, page);
    EXPECT_FALSE(WritePageFile(page, "<html></html>"));
    EXPECT_EQ(Read(victim), "keep me");

    // A hard link to one of the user's files, planted under the page file's name.
    fs::remove(page);
    fs::create_hard_link(victim, page);
    EXPECT_FALSE(WritePageFile(page, "<html></html>"));
    EXPECT_EQ(Read(victim), "keep me");

    // A FIFO does not hold the writer up.
    fs::remove(page);
    ASSERT_EQ(mkfifo(page.c_str(), 0600), 0);
    EXPECT_FALSE(WritePageFile(page, "<html></html>"));
}

TEST_F(PageFileTest, AnotherUsersFileIsLeftAlone) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "only root can make a file of another user";
    }
    const fs::path page = dir / "vemotmp.htm";
    std::ofstream(page) << "theirs";
    ASSERT_EQ(chown(page.c_str(), test::UnprivilegedUser, test::UnprivilegedGroup), 0);
    ASSERT_EQ(chmod(page.c_str(), 0666), 0);
    EXPECT_FALSE(WritePageFile(page, "<html></html>"));
    EXPECT_EQ(Read(page), "theirs");
}

TEST_F(PageFileTest, FailsInAMissingFolderOrOnAFolder) {
    EXPECT_FALSE(WritePageFile(dir / "no" / "vemotmp.htm", "x"));
    fs::create_directory(dir / "vemotmp.htm");
    EXPECT_FALSE(WritePageFile(dir / "vemotmp.htm", "x"));
}

}  // namespace
}  // namespace vemo
