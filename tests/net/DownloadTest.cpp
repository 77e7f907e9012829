#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "net/Endpoints.h"
#include "net/UrlDownload.h"
#include "tests/support/MakerServer.h"

namespace vemo {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;

class DownloadTest : public test::MakerServer {
  protected:
    void SetUp() override {
        MakerServer::SetUp();
        options.transfer.connectTimeoutSeconds = 5;
        options.transfer.stallTimeoutSeconds = 2;
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

}  // namespace
}  // namespace vemo
