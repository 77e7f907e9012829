#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <list>
#include <optional>
#include <string>

#include "quotes/QuotePage.h"
#include "tests/settings/TestFiles.h"
#include "tools/marketsim/MarketSim.h"
#include "update/UpdateSetup.h"

namespace vemo::test {

// The simulator as the maker's server, reached through http_proxy as the program reaches it, and
// a fresh store, answer folder and program folder for each test.
class MakerServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(sim.Start(0), 0);
        env.emplace_back("http_proxy", "http://127.0.0.1:" + std::to_string(sim.Port()));
        env.emplace_back("HTTP_PROXY", std::nullopt);
        env.emplace_back("no_proxy", std::nullopt);
        env.emplace_back("NO_PROXY", std::nullopt);
        setup.appStore = dir.path() / "config" / "registry";
        setup.answerFolder = dir.path() / "cache" / "Quorvane" / "VemoMonitor";
        setup.programFolder = dir.path() / "program";
        setup.programFile = setup.programFolder / "VEMO";
        setup.transfer.connectTimeoutSeconds = 5;
        setup.transfer.stallTimeoutSeconds = 2;
        std::filesystem::create_directories(setup.programFolder);
        updateRequired.store(0);
    }
    void TearDown() override { updateRequired.store(0); }

    // The maker's answers: the version check's, the update's, or both.
    void Answer(SimMakerScript script, const SimMakerAnswer& answer) {
        sim.SetMakerAnswer(script, answer);
    }

    // Points the environment's proxy at a port where nothing listens.
    void NoServer() {
        const std::string url = "http://127.0.0.1:" + std::to_string(sim.Port());
        sim.Stop();
        ::setenv("http_proxy", url.c_str(), 1);  // the first ScopedEnv restores it
    }

    TempDir dir;
    MarketSimulator sim;
    std::list<ScopedEnv> env;
    UpdateSetup setup;
};

}  // namespace vemo::test
