#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TestFiles.h"
#include "updater/UpdaterImage.h"

namespace vemo {
namespace {

namespace fs = std::filesystem;
using test::Entries;
using test::ReadBytes;

// A "program" that records, when started, which file it was, its arguments and its folder.
std::string Program(const std::string& name) {
    return "#!/bin/sh\n"
           "printf '%s %s %s\\n' '" +
           name + "' \"$#\" \"$(pwd)\" > started.tmp && mv started.tmp started\n";
}

struct UpdaterRun {
    int status = -2;
    std::string output;
};

class UpdaterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = dir.path();
        program = folder / "VEMO";
        test::WriteBytes(program, Program("old"));
        fs::permissions(program, fs::perms(0755));
        test::WriteBytes(folder / "VEMO.new", Program("new"));
        fs::permissions(folder / "VEMO.new", fs::perms(0755));
    }

    // Runs the updater in the program folder, as VEMO starts it.
    UpdaterRun Updater(const std::vector<std::string>& arguments) const {
        std::string command = "cd '" + folder.string() + "' && exec '" UPDATER_PROGRAM "'";
        for (const std::string& argument : arguments) {
            command += " '" + argument + "'";
        }
        UpdaterRun run;
        FILE* pipe = ::popen(command.c_str(), "r");
        if (pipe == nullptr) {
            return run;
        }
        char buffer[256];
        std::size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            run.output.append(buffer, n);
        }
        const int status = ::pclose(pipe);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return run;
    }

    // What the started program recorded; empty when nothing was started within a few seconds.
    std::string Started() const {
        const fs::path file = folder / "started";
        for (int i = 0; i < 100 && !fs::exists(file); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return fs::exists(file) ? ReadBytes(file) : std::string();
    }

    test::TempDir dir;
    fs::path folder;
    fs::path program;
};

TEST_F(UpdaterTest, WrongArgumentCountsTouchNothing) {
    const std::vector<std::vector<std::string>> counts = {
        {}, {program.string()}, {program.string(), "./VEMO.new", "extra"}};
    for (const auto& arguments : counts) {
        SCOPED_TRACE(arguments.size());
        const UpdaterRun run = Updater(arguments);
        EXPECT_EQ(run.status, 255);
        EXPECT_EQ(run.output, "");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(Entries(folder), (std::vector<std::string>{"VEMO", "VEMO.new"}));
    EXPECT_EQ(ReadBytes(program), Program("old"));
}

TEST_F(UpdaterTest, SwapsTheProgramsAndStartsTheNewOne) {
    const auto started = std::chrono::steady_clock::now();
    const UpdaterRun run = Updater({program.string(), "./VEMO.new"});
    // It waits for the ticker to end, and between the steps.
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::seconds(6));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "VEMO Update...\n");
    EXPECT_EQ(Started(), "new 0 " + folder.string() + "\n");
    EXPECT_EQ(ReadBytes(program), Program("new"));
    EXPECT_EQ(ReadBytes(folder / "VEMO.old"), Program("old"));
    EXPECT_EQ(Entries(folder), (std::vector<std::string>{"VEMO", "VEMO.old", "started"}));
}

TEST_F(UpdaterTest, LeftoverOldProgramKeepsTheRunningOne) {
    test::WriteBytes(folder / "VEMO.old", "from an earlier update");
    const UpdaterRun run = Updater({program.string(), "./VEMO.new"});
    EXPECT_EQ(run.status, 0);
    // Neither rename replaces a file: the old program stays and is started again.
    EXPECT_EQ(Started(), "old 0 " + folder.string() + "\n");
    EXPECT_EQ(ReadBytes(program), Program("old"));
    EXPECT_EQ(ReadBytes(folder / "VEMO.old"), "from an earlier update");
    EXPECT_EQ(ReadBytes(folder / "VEMO.new"), Program("new"));
}

TEST_F(UpdaterTest, MissingNewProgramPutsTheOldOneBack) {
    fs::remove(folder / "VEMO.new");
    const UpdaterRun run = Updater({program.string(), "./VEMO.new"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(Started(), "old 0 " + folder.string() + "\n");
    EXPECT_EQ(ReadBytes(program), Program("old"));
    EXPECT_EQ(Entries(folder), (std::vector<std::string>{"VEMO", "started"}));
}

TEST(UpdaterImageTest, VemoCarriesTheBuiltUpdaterByteForByte) {
    const std::span<const unsigned char> image = UpdaterImage();
    const std::string built = ReadBytes(UPDATER_PROGRAM);
    ASSERT_FALSE(built.empty());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(image.data()), image.size()), built);
}

}  // namespace
}  // namespace vemo
