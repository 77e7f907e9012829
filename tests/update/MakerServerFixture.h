#pragma once

#include <filesystem>

#include "tests/support/MakerServer.h"
#include "update/UpdateSetup.h"

namespace vemo::test {

// The maker's server of MakerServer, and a fresh store, answer folder and program folder for
// each test.
class MakerServerTest : public MakerServer {
  protected:
    void SetUp() override {
        MakerServer::SetUp();
        setup.appStore = dir.path() / "config" / "registry";
        setup.answerFolder = dir.path() / "cache" / "Quorvane" / "VemoMonitor";
        setup.programFolder = dir.path() / "program";
        setup.programFile = setup.programFolder / "VEMO";
        setup.transfer.connectTimeoutSeconds = 5;
        setup.transfer.stallTimeoutSeconds = 2;
        std::filesystem::create_directories(setup.programFolder);
    }

    UpdateSetup setup;
};

}  // namespace vemo::test
