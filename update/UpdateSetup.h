#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "net/HttpGet.h"
#include "settings/Version.h"
#include "update/Interrupt.h"

namespace vemo {

// The answers of the version check and the update answer are INI text with this one section.
inline constexpr char AnswerSection[] = "VEMO";
// An answer is a few lines; anything larger is no answer.
inline constexpr std::size_t MaxAnswerBytes = 64 * 1024;
// Only a release above this program's build counts; the build numbers compare unsigned.
constexpr bool IsNewerBuild(int build) {
    return static_cast<std::uint32_t>(build) > static_cast<std::uint32_t>(BuildNumber);
}

// The files and limits of the version check and the update.
struct UpdateSetup {
    // The per-user store with "Guid" and "Update".
    std::filesystem::path appStore;
    // Where the maker's answers are downloaded to (a private folder; made when missing).
    std::filesystem::path answerFolder;
    // The program's folder: the new program, the updater and the old program go there.
    std::filesystem::path programFolder;
    // The running program's file, which the updater replaces and starts.
    std::filesystem::path programFile;
    // The updater program's bytes, written out as "VemoUpdater".
    std::span<const unsigned char> updaterImage;
    // Time-outs for the maker's server: the answers must arrive within the deadline, the new
    // program need not. The size limits are the update's own.
    FetchOptions transfer;
    // The system's package manager installed this program and replaces it: the notice is still
    // asked for, but the program never downloads or replaces itself.
    bool packageManaged = false;
};

// The private folder for the maker's answers: "Quorvane/VemoMonitor" in the user's cache folder,
// or "vemo-UID" in the temporary folder when there is no cache folder at all.
std::filesystem::path UpdateCacheFolder();

// Downloads one of the maker's answers into `file` in the answer folder (which is made, for this
// user alone, when missing). True when the whole answer arrived within the deadline of
// `setup.transfer`; a requested `stop` cancels it.
bool DownloadAnswer(const std::string& url, const std::filesystem::path& file,
                    const UpdateSetup& setup, Interrupt& stop);

}  // namespace vemo
