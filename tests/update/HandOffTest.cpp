#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/update/MakerServerFixture.h"
#include "update/HandOff.h"
#include "updater/UpdaterImage.h"

namespace vemo {
namespace {

namespace fs = std::filesystem;
using test::MakerServerTest;
using test::ReadBytes;

// Stands in for the updater: records its arguments and folder, so a test sees what was started.
constexpr char FakeUpdater[] =
    "#!/bin/sh\n"
    "printf '%s\\n' \"$#\" \"$1\" \"$2\" \"$(pwd)\" > started.tmp && mv started.tmp started\n";

bool WaitForFile(const fs::path& file) {
    for (int i = 0; i < 100 && !fs::exists(file); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return fs::exists(file);
}

class HandOffTest : public MakerServerTest {
  protected:
    void SetUp() override {
        MakerServerTest::SetUp();
        // Any program for this machine serves as the new release: the built updater is one.
        const std::span<const unsigned char> image = UpdaterImage();
        newRelease.assign(reinterpret_cast<const char*>(image.data()), image.size());
        sim.SetDownload("/download/VEMO", newRelease);
        fakeUpdater = FakeUpdater;
        setup.updaterImage = {reinterpret_cast<const unsigned char*>(fakeUpdater.data()),
                              fakeUpdater.size()};
        test::WriteBytes(setup.programFile, "the running program");
    }

    void Offer(SimMakerAnswer answer) { Answer(SimMakerScript::Update, answer); }
    static SimMakerAnswer Release(std::optional<std::string> address) {
        SimMakerAnswer answer;
        answer.infoVer = 44;
        answer.dlurl = std::move(address);
        return answer;
    }

    int Run() {
        return DownloadAndHandOff(
            setup, [this](UpdateStep step, std::uint64_t received, std::uint64_t total) {
                steps.push_back(step);
                if (step == UpdateStep::Program) {
                    lastReceived = received;
                    lastTotal = total;
                }
            });
    }

    fs::path InProgram(const char* name) const { return setup.programFolder / name; }
    std::vector<std::string> RequestedPaths() const {
        std::vector<std::string> paths;
        for (const SimRequest& request : sim.Requests()) {
            paths.push_back(request.url);
        }
        return paths;
    }
    // Nothing was handed over: no new program, no updater, the answer gone.
    void ExpectNothingHandedOver() const {
        EXPECT_FALSE(fs::exists(InProgram(NewProgramName)));
        EXPECT_FALSE(fs::exists(InProgram(UpdaterName)));
        EXPECT_FALSE(fs::exists(InProgram("started")));
        EXPECT_EQ(test::Entries(setup.programFolder), std::vector<std::string>{"VEMO"});
        EXPECT_EQ(test::Entries(setup.answerFolder), std::vector<std::string>{});
    }

    std::string newRelease;
    std::string fakeUpdater;
    std::vector<UpdateStep> steps;
    std::uint64_t lastReceived = 0;
    std::uint64_t lastTotal = 0;
};

TEST_F(HandOffTest, NewReleaseIsDownloadedAndTheUpdaterStarted) {
    // Blanks in the address go as %20, as in the version check (the simulator matches the path
    // as it was sent).
    sim.SetDownload("/download/VEMO%202.0.4.4", newRelease);
    Offer(Release("http://dl.quorvane.com/download/VEMO 2.0.4.4"));
    test::WriteBytes(InProgram(NewProgramName), "left by an earlier attempt");
    ASSERT_EQ(Run(), UpdaterStarted);

    EXPECT_EQ(RequestedPaths(),
              (std::vector<std::string>{
                  "http://www.quorvane.com/quorvane/VEMOUpdate.php?Ver=VEMO%202.0.4.3",
                  "http://dl.quorvane.com/download/VEMO%202.0.4.4"}));
    EXPECT_EQ(ReadBytes(InProgram(NewProgramName)), newRelease);
    EXPECT_EQ(test::ModeOf(InProgram(NewProgramName)), 0755u);
    EXPECT_EQ(ReadBytes(InProgram(UpdaterName)), fakeUpdater);
    EXPECT_EQ(test::ModeOf(InProgram(UpdaterName)), 0755u);
    EXPECT_EQ(ReadBytes(setup.programFile), "the running program");
    EXPECT_EQ(test::Entries(setup.answerFolder), std::vector<std::string>{});

    // Started in the program folder with exactly the two file names.
    ASSERT_TRUE(WaitForFile(InProgram("started")));
    EXPECT_EQ(ReadBytes(InProgram("started")), "2\n" + setup.programFile.string() +
                                                   "\n./VEMO.new\n" + setup.programFolder.string() +
                                                   "\n");

    EXPECT_EQ(lastReceived, newRelease.size());
    EXPECT_EQ(lastTotal, newRelease.size());
    ASSERT_FALSE(steps.empty());
    EXPECT_EQ(steps.front(), UpdateStep::Answer);
    EXPECT_EQ(steps.back(), UpdateStep::HandOff);
}

TEST_F(HandOffTest, AnswersThatOfferNothing) {
    struct Case {
        const char* name;
        SimMakerAnswer answer;
        int result;
    };
    SimMakerAnswer current = Release("http://www.quorvane.com/download/VEMO");
    current.infoVer = 43;
    SimMakerAnswer noVersion = Release("http://www.quorvane.com/download/VEMO");
    noVersion.infoVer.reset();
    const Case cases[] = {
        {"infoVer 43", current, AlreadyNewest},
        {"no infoVer", noVersion, UpdateAnswerNoVersion},
        {"no dlurl", Release(std::nullopt), UpdateAnswerNoAddress},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim.ClearRequests();
        Offer(c.answer);
        EXPECT_EQ(Run(), c.result);
        // Only the answer was asked for, and it is gone again.
        EXPECT_EQ(sim.RequestCount(), 1u);
        ExpectNothingHandedOver();
    }
}

TEST_F(HandOffTest, FailedDownloadsOfTheProgramLeaveNothing) {
    sim.SetDownload("/download/error.htm", "<html><body>404 Not Found</body></html>");
    sim.SetDownload("/download/empty", "");
    struct Case {
        const char* name;
        const char* address;
    };
    const Case cases[] = {
        {"HTTP error", "http://www.quorvane.com/download/missing"},
        {"an HTML page", "http://www.quorvane.com/download/error.htm"},
        {"an empty file", "http://www.quorvane.com/download/empty"},
        {"not http", "file:///bin/sh"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::WriteBytes(InProgram(NewProgramName), "left by an earlier attempt");
        Offer(Release(c.address));
        EXPECT_EQ(Run(), NewProgramFailed);
        ExpectNothingHandedOver();
    }

    // A transfer broken off halfway.
    Offer(Release("http://www.quorvane.com/download/VEMO"));
    sim.SetObserver([this](const SimRequest& request) {
        if (request.url.find("/download/") != std::string::npos) {
            SimBehaviour cut;
            cut.failure = SimFailure::Cut;
            cut.count = 1;
            sim.SetBehaviour(SimService::Maker, cut);
        }
    });
    EXPECT_EQ(Run(), NewProgramFailed);
    ExpectNothingHandedOver();
}

TEST_F(HandOffTest, NoServerOrABrokenAnswer) {
    SimBehaviour error;
    error.failure = SimFailure::HttpError;
    error.status = 503;
    error.body = "[VEMO]\r\ninfoVer=44\r\ndlurl=http://www.quorvane.com/download/VEMO\r\n";
    sim.SetBehaviour(SimService::Maker, error);
    EXPECT_EQ(Run(), UpdateAnswerFailed);
    ExpectNothingHandedOver();

    NoServer();
    EXPECT_EQ(Run(), UpdateAnswerFailed);
    ExpectNothingHandedOver();
}

TEST_F(HandOffTest, TheAnswerHasADeadlineAndTheProgramNone) {
    // Bytes 20 ms apart never stall a transfer, but the whole takes some seconds.
    SimBehaviour trickle;
    trickle.trickleMs = 20;
    setup.transfer.stallTimeoutSeconds = 30;
    setup.transfer.deadlineSeconds = 1;
    Offer(Release("http://www.quorvane.com/download/VEMO"));
    sim.SetBehaviour(SimService::Maker, trickle);
    EXPECT_EQ(Run(), UpdateAnswerFailed);
    ExpectNothingHandedOver();

    // The program takes as long as it takes: this one arrives whole (and is then refused, as it
    // is no program).
    const std::string slowFile = "arrives slowly";
    sim.SetDownload("/download/VEMO", slowFile);
    sim.SetBehaviour(SimService::Maker, SimBehaviour{});
    sim.SetObserver([this, trickle](const SimRequest& request) {
        if (request.url.find("/download/") != std::string::npos) {
            sim.SetBehaviour(SimService::Maker, trickle);
        }
    });
    EXPECT_EQ(Run(), NewProgramFailed);
    EXPECT_EQ(lastReceived, slowFile.size());
    ExpectNothingHandedOver();
}

TEST_F(HandOffTest, UpdaterThatCannotBeWrittenIsNotStarted) {
    Offer(Release("http://www.quorvane.com/download/VEMO"));
    fs::create_directory(InProgram(UpdaterName));  // a folder holds the name
    EXPECT_EQ(Run(), UpdaterNotStarted);
    EXPECT_FALSE(fs::exists(InProgram("started")));

    fs::remove(InProgram(UpdaterName));
    setup.updaterImage = {};
    EXPECT_EQ(Run(), UpdaterNotStarted);
    EXPECT_FALSE(fs::exists(InProgram(UpdaterName)));
}

TEST_F(HandOffTest, CancelEndsTheDownloadAsAFailure) {
    Offer(Release("http://www.quorvane.com/download/VEMO"));
    SimBehaviour slow;
    slow.failure = SimFailure::Hang;
    Interrupt stop;
    sim.SetObserver([&](const SimRequest& request) {
        if (request.url.find("/download/") != std::string::npos) {
            sim.SetBehaviour(SimService::Maker, slow);
            stop.Request();
        }
    });
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(DownloadAndHandOff(setup, {}, &stop), NewProgramFailed);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    ExpectNothingHandedOver();
}

TEST(CleanUpTest, RemovesTheLeftoversOfAnUpdate) {
    test::TempDir dir;
    const fs::path folder = dir.path();
    test::WriteBytes(folder / "VEMO", "new");
    test::WriteBytes(folder / OldProgramName, "old");
    test::WriteBytes(folder / UpdaterName, "updater");
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(CleanUpAfterUpdate(folder), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(2000));
    EXPECT_EQ(test::Entries(folder), std::vector<std::string>{"VEMO"});

    // Nothing to do: nothing happens.
    EXPECT_EQ(CleanUpAfterUpdate(folder), 0);
    EXPECT_EQ(test::Entries(folder), std::vector<std::string>{"VEMO"});

    // A first removal that fails skips the second.
    fs::create_directories(folder / OldProgramName / "inside");
    test::WriteBytes(folder / UpdaterName, "updater");
    EXPECT_EQ(CleanUpAfterUpdate(folder), 0);
    EXPECT_TRUE(fs::exists(folder / UpdaterName));
}

TEST(CleanUpTest, StopEndsTheWaitAndRemovesNothing) {
    test::TempDir dir;
    test::WriteBytes(dir.path() / OldProgramName, "old");
    Interrupt stop;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stop.Request();
    });
    const auto started = std::chrono::steady_clock::now();
    CleanUpAfterUpdate(dir.path(), &stop);
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1500));
    EXPECT_TRUE(fs::exists(dir.path() / OldProgramName));
}

}  // namespace
}  // namespace vemo
