#include <curl/curl.h>
#include <dlfcn.h>
#include <elf.h>
#include <gtest/gtest.h>
#include <link.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "tests/update/MakerServerFixture.h"
#include "update/Endpoints.h"
#include "update/ProgramCheck.h"
#include "update/UrlDownload.h"

namespace vemo {
namespace {

namespace fs = std::filesystem;
using test::MakerServerTest;
using test::ReadBytes;

class DownloadTest : public MakerServerTest {
  protected:
    void SetUp() override {
        MakerServerTest::SetUp();
        options.transfer = setup.transfer;
        folder = dir.path() / "downloads";
        fs::create_directory(folder);
        target = folder / "file";
    }
    int Download(const std::string& path) {
        return DownloadToFile("http://www.quorvane.com" + path, target, options);
    }
    void Fail(SimFailure failure, int status = 500) {
        SimBehaviour behaviour;
        behaviour.failure = failure;
        behaviour.status = status;
        behaviour.body = "<html>error</html>";
        sim.SetBehaviour(SimService::Maker, behaviour);
    }

    DownloadOptions options;
    fs::path folder;
    fs::path target;
};

TEST_F(DownloadTest, WholeAnswerReplacesTheFile) {
    const std::string bytes(300000, 'x');
    sim.SetDownload("/big", bytes);
    test::WriteBytes(target, "old");
    options.mode = 0640;
    std::uint64_t received = 0;
    options.progress = [&](std::uint64_t now, std::uint64_t) { received = now; };
    ASSERT_EQ(Download("/big"), DownloadOk);
    EXPECT_EQ(ReadBytes(target), bytes);
    EXPECT_EQ(test::ModeOf(target), 0640u);
    EXPECT_EQ(received, bytes.size());
    EXPECT_EQ(test::Entries(folder), (std::vector<std::string>{"file"}));
}

TEST_F(DownloadTest, FailuresLeaveTheOldFileAndNoPartOfTheNewOne) {
    sim.SetDownload("/big", std::string(300000, 'x'));
    test::WriteBytes(target, "old");
    struct Case {
        const char* name;
        SimFailure failure;
        int status;
        const char* path;
        int result;
    };
    const Case cases[] = {
        {"HTTP 404", SimFailure::None, 0, "/missing", DownloadHttpError},
        {"HTTP 500 with a body", SimFailure::HttpError, 500, "/big", DownloadHttpError},
        {"proxy refuses", SimFailure::HttpError, 407, "/big", DownloadHttpError},
        {"broken transfer", SimFailure::Cut, 0, "/big", DownloadTransferFailed},
        {"closed without answer", SimFailure::Close, 0, "/big", DownloadTransferFailed},
        {"server stops sending", SimFailure::Hang, 0, "/big", DownloadTransferFailed},
    };
    options.transfer.stallTimeoutSeconds = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fail(c.failure, c.status);
        EXPECT_EQ(Download(c.path), c.result);
        EXPECT_EQ(ReadBytes(target), "old");
        EXPECT_EQ(test::Entries(folder), (std::vector<std::string>{"file"}));
    }

    Fail(SimFailure::None);
    options.transfer.maxResponseBytes = 1000;
    EXPECT_EQ(Download("/big"), DownloadTransferFailed);
    EXPECT_EQ(ReadBytes(target), "old");

    EXPECT_EQ(DownloadToFile("ftp://www.quorvane.com/big", target, options), DownloadBadUrl);
    EXPECT_EQ(DownloadToFile("http://www.quorvane.com/big", folder / "no" / "file", options),
              DownloadNoFile);
    EXPECT_EQ(sim.RequestCount(), std::size(cases) + 1);
}

TEST_F(DownloadTest, CancelEndsAHangingTransferPromptly) {
    Fail(SimFailure::Hang);
    std::atomic<bool> cancel{false};
    options.transfer.cancel = &cancel;
    options.transfer.stallTimeoutSeconds = 30;
    sim.SetObserver([&](const SimRequest&) { cancel.store(true); });
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(Download("/big"), DownloadCancelled);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_FALSE(fs::exists(target));
}

TEST(EndpointsTest, RequestAddressesHoldNoBlanks) {
    EXPECT_EQ(VersionCheckUrl("noGuid"),
              "http://www.quorvane.com/quorvane/vemo.php?Guid=noGuid&Ver=VEMO%202.0.4.3");
    EXPECT_EQ(UpdateAnswerUrl(),
              "http://www.quorvane.com/quorvane/VEMOUpdate.php?Ver=VEMO%202.0.4.3");
    // Escapes already there keep their meaning; what cannot stand in a request line is escaped.
    EXPECT_EQ(EscapeForRequest("http://h/a b%41?x=\"1\"&y=\xD6\xD0\t#top"),
              "http://h/a%20b%41?x=%221%22&y=%D6%D0%09#top");
}

class ProgramCheckTest : public ::testing::Test {
  protected:
    void SetUp() override { self = ReadBytes("/proc/self/exe"); }
    bool Check(const std::string& bytes) {
        const fs::path file = dir.path() / "program";
        test::WriteBytes(file, bytes);
        return IsProgramForThisMachine(file);
    }
    std::string Patched(std::size_t offset, std::string_view bytes) const {
        std::string copy = self;
        copy.replace(offset, bytes.size(), bytes);
        return copy;
    }
    // Where the file's last loaded segment ends.
    std::size_t LoadedEnd() const {
        ElfW(Ehdr) header{};
        std::memcpy(&header, self.data(), sizeof header);
        std::size_t end = 0;
        for (std::size_t i = 0; i < header.e_phnum; ++i) {
            ElfW(Phdr) segment{};
            std::memcpy(&segment, self.data() + header.e_phoff + i * sizeof segment, sizeof segment);
            if (segment.p_type == PT_LOAD && segment.p_filesz > 0) {
                end = std::max<std::size_t>(end, segment.p_offset + segment.p_filesz);
            }
        }
        return end;
    }

    test::TempDir dir;
    std::string self;
};

TEST_F(ProgramCheckTest, OnlyACompleteProgramForThisMachinePasses) {
    ASSERT_GT(self.size(), 4096u);
    EXPECT_TRUE(Check(self));
    EXPECT_FALSE(Check(""));
    EXPECT_FALSE(Check("<html><body>Not Found</body></html>"));
    EXPECT_FALSE(Check(self.substr(0, 64)));
    // Cut inside the last loaded segment, whatever the build type puts after it (debug sections).
    EXPECT_FALSE(Check(self.substr(0, LoadedEnd() - 1)));
    EXPECT_FALSE(Check(Patched(18, std::string("\x28\x00", 2))));  // ARM
    EXPECT_FALSE(Check(Patched(4, "\x01")));                       // the other class
    EXPECT_FALSE(Check(Patched(5, "\x02")));                       // the other byte order
    EXPECT_FALSE(Check(Patched(16, std::string("\x01\x00", 2))));  // an object file
    EXPECT_FALSE(Check(Patched(16, std::string("\x04\x00", 2))));  // a core dump
    EXPECT_FALSE(IsProgramForThisMachine(dir.path()));             // a folder
    EXPECT_FALSE(IsProgramForThisMachine(dir.path() / "missing"));
}

TEST_F(ProgramCheckTest, ASharedLibraryIsNoProgram) {
    // A library this program runs with: position-independent, of this machine, and complete.
    Dl_info library{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&curl_easy_init), &library), 0);
    ASSERT_NE(library.dli_fname, nullptr);
    EXPECT_FALSE(IsProgramForThisMachine(library.dli_fname)) << library.dli_fname;

    // This program without the dynamic loader's name, or without its entry point.
    ElfW(Ehdr) header{};
    std::memcpy(&header, self.data(), sizeof header);
    std::string withoutLoader = self;
    int loaders = 0;
    for (std::size_t i = 0; i < header.e_phnum; ++i) {
        const std::size_t at = header.e_phoff + i * sizeof(ElfW(Phdr));
        ElfW(Phdr) segment{};
        std::memcpy(&segment, self.data() + at, sizeof segment);
        if (segment.p_type == PT_INTERP) {
            segment.p_type = PT_NULL;
            std::memcpy(withoutLoader.data() + at, &segment, sizeof segment);
            ++loaders;
        }
    }
    ASSERT_EQ(header.e_type, ET_DYN);
    ASSERT_EQ(loaders, 1);
    EXPECT_FALSE(Check(withoutLoader));
    EXPECT_FALSE(
        Check(Patched(offsetof(ElfW(Ehdr), e_entry), std::string(sizeof header.e_entry, '\0'))));
}

}  // namespace
}  // namespace vemo
