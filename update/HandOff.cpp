#include "update/HandOff.h"

#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <system_error>

#include "settings/AtomicFile.h"
#include "settings/IniFile.h"
#include "settings/UserFolders.h"
#include "settings/Version.h"
#include "update/Endpoints.h"
#include "update/ProgramCheck.h"
#include "update/UrlDownload.h"
#include "updater/StartProgram.h"

namespace vemo {

namespace {

constexpr char Section[] = "VEMO";
constexpr std::size_t MaxAnswerBytes = 64 * 1024;
// Far more than any build of the program; a larger download is no program of ours.
constexpr std::size_t MaxProgramBytes = 256u << 20;
constexpr std::size_t UrlBufferSize = 260;

void RemoveQuietly(const std::filesystem::path& file) {
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
}

bool Exists(const std::filesystem::path& file, bool& failed) {
    std::error_code error;
    const auto status = std::filesystem::symlink_status(file, error);
    failed = error && error != std::errc::no_such_file_or_directory;
    return !failed && status.type() != std::filesystem::file_type::not_found;
}

}  // namespace

int DownloadAndHandOff(const UpdateSetup& setup, const UpdateProgress& progress, Interrupt* stop) {
    Interrupt never;
    Interrupt& control = stop != nullptr ? *stop : never;
    const auto report = [&](UpdateStep step, std::uint64_t received, std::uint64_t total) {
        if (progress) {
            progress(step, received, total);
        }
    };

    // 1. The update answer.
    report(UpdateStep::Answer, 0, 0);
    const std::filesystem::path answer = setup.answerFolder / UpdateAnswerName;
    DownloadOptions options;
    options.transfer = setup.transfer;
    options.transfer.maxResponseBytes = MaxAnswerBytes;
    options.transfer.cancel = control.Flag();
    if (setup.answerFolder.empty() || !EnsurePrivateFolder(setup.answerFolder) ||
        DownloadToFile(UpdateAnswerUrl(), answer, options) != DownloadOk) {
        return UpdateAnswerFailed;
    }

    // 2. to 4. What the answer offers.
    const int infoVer = GetPrivateProfileIntA(Section, "infoVer", 0, answer);
    if (infoVer == 0) {
        RemoveQuietly(answer);
        return UpdateAnswerNoVersion;
    }
    if (static_cast<std::uint32_t>(infoVer) <= static_cast<std::uint32_t>(BuildNumber)) {
        RemoveQuietly(answer);
        return AlreadyNewest;
    }
    char address[UrlBufferSize] = {};
    const std::size_t addressLength =
        GetPrivateProfileStringA(Section, "dlurl", "", address, sizeof address, answer);
    RemoveQuietly(answer);
    if (addressLength == 0) {
        return UpdateAnswerNoAddress;
    }

    // 5. The new program. A file left by an earlier attempt goes first, so that a failed
    // download leaves none.
    const std::filesystem::path newProgram = setup.programFolder / NewProgramName;
    RemoveQuietly(newProgram);
    options.transfer.maxResponseBytes = MaxProgramBytes;
    options.progress = [&](std::uint64_t received, std::uint64_t total) {
        report(UpdateStep::Program, received, total);
    };
    report(UpdateStep::Program, 0, 0);
    if (DownloadToFile(EscapeForRequest(std::string_view(address, addressLength)), newProgram,
                       options) != DownloadOk) {
        return NewProgramFailed;
    }
    // Only a complete program for this machine is handed over: an error page, an empty answer
    // or a program for another machine would leave the user with nothing that starts.
    if (!IsProgramForThisMachine(newProgram) || ::chmod(newProgram.c_str(), 0755) != 0) {
        RemoveQuietly(newProgram);
        return NewProgramFailed;
    }

    // 6. The updater, out of the program's own image.
    report(UpdateStep::HandOff, 0, 0);
    const std::filesystem::path updater = setup.programFolder / UpdaterName;
    const std::string_view image(reinterpret_cast<const char*>(setup.updaterImage.data()),
                                 setup.updaterImage.size());
    if (image.empty() || setup.programFile.empty() ||
        ReplaceFileAtomically(updater, image, 0755, ModePolicy::Always) != ReplaceOk) {
        return UpdaterNotStarted;
    }

    // 8. A last chance to cancel, then 9. the start.
    if (!control.Sleep(std::chrono::milliseconds(500))) {
        return NewProgramFailed;
    }
    std::string updaterPath = updater.string();
    std::string programPath = setup.programFile.string();
    std::string newProgramArgument = std::string("./") + NewProgramName;
    char* const arguments[] = {updaterPath.data(), programPath.data(), newProgramArgument.data(),
                               nullptr};
    const std::string folder = setup.programFolder.string();
    if (!StartProgram(arguments, folder.empty() ? nullptr : folder.c_str())) {
        return UpdaterNotStarted;
    }
    return UpdaterStarted;
}

int CleanUpAfterUpdate(const std::filesystem::path& programFolder, Interrupt* stop) {
    Interrupt never;
    Interrupt& control = stop != nullptr ? *stop : never;
    if (!control.Sleep(std::chrono::milliseconds(2000)) || programFolder.empty()) {
        return 0;
    }
    bool failed = false;
    const std::filesystem::path oldProgram = programFolder / OldProgramName;
    if (Exists(oldProgram, failed)) {
        std::error_code error;
        if (!std::filesystem::remove(oldProgram, error)) {
            return 0;
        }
    } else if (failed) {
        return 0;
    }
    const std::filesystem::path updater = programFolder / UpdaterName;
    if (Exists(updater, failed)) {
        std::error_code ignored;
        std::filesystem::remove(updater, ignored);
    }
    return 0;
}

}  // namespace vemo
