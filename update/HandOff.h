#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>

#include "update/Interrupt.h"
#include "update/UpdateSetup.h"
#include "updater/RelayNames.h"

namespace vemo {

// Results of DownloadAndHandOff.
inline constexpr int UpdaterStarted = 1;
inline constexpr int AlreadyNewest = 0;
inline constexpr int UpdateAnswerFailed = -1;
inline constexpr int UpdateAnswerNoVersion = -2;
inline constexpr int UpdateAnswerNoAddress = -3;
inline constexpr int NewProgramFailed = -4;  // also: not a program for this machine; cancelled
inline constexpr int UpdaterNotStarted = -5;
inline constexpr int PackageManaged = -6;  // refused: the package manager updates this program

// What the Upgrade command says in a program that the system's package manager installed.
inline constexpr char PackageManagedUpgradeText[] =
    "VEMO 由系统的软件包管理器安装，不能自行升级。\n请用软件包管理器（例如 apt）升级到最新版。";

// The update's answer, in the answer folder.
inline constexpr char UpdateAnswerName[] = "UpdateAnswer.ini";

enum class UpdateStep {
    Answer,   // asking the maker's server for the newest release
    Program,  // downloading the new program
    HandOff,  // writing and starting the updater
};
// Called on the updating thread as the update goes on; `received` and `total` are the bytes of
// the running download (total 0 when the server did not announce it).
using UpdateProgress =
    std::function<void(UpdateStep step, std::uint64_t received, std::uint64_t total)>;

// Asks the maker's server for the newest release, downloads it as "VEMO.new" beside the running
// program, writes the updater out and starts it with the running program's file name and
// "./VEMO.new". Returns one of the results above; on 1 the caller ends the program so that its
// file can be replaced. The new program is handed over only when it is a complete program for
// this machine; otherwise it is removed. A requested `stop` before the updater starts makes the
// result -4 (or -1 while the answer is being fetched).
int DownloadAndHandOff(const UpdateSetup& setup, const UpdateProgress& progress = {},
                       Interrupt* stop = nullptr);

// Two seconds after the start, removes what an update left behind: "VEMO.old", then
// "VemoUpdater". A failure ends it silently (a failed first removal skips the second); a stop
// request ends the wait and does nothing. Returns 0.
int CleanUpAfterUpdate(const std::filesystem::path& programFolder, Interrupt* stop = nullptr);

}  // namespace vemo
