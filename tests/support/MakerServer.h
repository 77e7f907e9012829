#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <list>
#include <optional>
#include <string>

#include "tests/support/TestFiles.h"
#include "tools/marketsim/MarketSim.h"

namespace vemo::test {

// The simulator as the maker's server, reached through http_proxy as the program reaches it, and
// a fresh folder for each test.
class MakerServer : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(sim.Start(0), 0);
        env.emplace_back("http_proxy", "http://127.0.0.1:" + std::to_string(sim.Port()));
        env.emplace_back("HTTP_PROXY", std::nullopt);
        env.emplace_back("no_proxy", std::nullopt);
        env.emplace_back("NO_PROXY", std::nullopt);
    }

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
};

}  // namespace vemo::test
