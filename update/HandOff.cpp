#include "update/HandOff.h"

#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <system_error>

#include "net/Endpoints.h"
#include "net/UrlDownload.h"
#include "settings/AtomicFile.h"
#include "settings/IniFile.h"
#include "update/ProgramCheck.h"
#include "updater/StartProgram.h"

namespace vemo {

namespace {

// Far more than any build of the program; a larger download is no program of ours.
constexpr std::size_t MaxProgramBytes = 256u << 20;
constexpr std::size_t UrlBufferSize = 260;

void RemoveQuietly(const std::filesystem::path& file) {
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
}

// Removes what stands under the name, if anything; false when something stays.
bool RemoveIfPresent(const std::filesystem::path& file) {
    std::error_code error;
    const auto status = std::filesystem::symlink_status(file, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        return true;
    }
    return !error && std::filesystem::remove(file, error);
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

    // The server's answer: is there a newer release, and where?
    report(UpdateStep::Answer, 0, 0);
    const std::filesystem::path answer = setup.answerFolder / UpdateAnswerName;
    if (!DownloadAnswer(UpdateAnswerUrl(), answer, setup, control)) {
        return UpdateAnswerFailed;
    }

    const int infoVer = GetPrivateProfileIntA(AnswerSection, "infoVer", 0, answer);
    if (infoVer == 0) {
        RemoveQuietly(answer);
        return UpdateAnswerNoVersion;
    }
    if (!IsNewerBuild(infoVer)) {
        RemoveQuietly(answer);
        return AlreadyNewest;
    }
    char address[UrlBufferSize] = {};
    const std::size_t addressLength =
        GetPrivateProfileStringA(AnswerSection, "dlurl", "", address, sizeof address, answer);
    RemoveQuietly(answer);
    if (addressLength == 0) {
        return UpdateAnswerNoAddress;
    }

    // The new program. A file left by an earlier attempt goes first, so that a failed
    // download leaves none.
    const std::filesystem::path newProgram = setup.programFolder / NewProgramName;
    RemoveQuietly(newProgram);
    DownloadOptions options;
    options.transfer = setup.transfer;
    options.transfer.cancel = control.Flag();
    options.transfer.maxResponseBytes = MaxProgramBytes;
    // A program takes as long as the line needs; the user can cancel it.
    options.transfer.deadlineSeconds = 0;
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

    // The updater, out of the program's own image.
    report(UpdateStep::HandOff, 0, 0);
    const std::filesystem::path updater = setup.programFolder / UpdaterName;
    const std::string_view image(reinterpret_cast<const char*>(setup.updaterImage.data()),
                                 setup.updaterImage.size());
    if (image.empty() || setup.programFile.empty() ||
        ReplaceFileAtomically(updater, image, 0755, ModePolicy::Always) != ReplaceOk) {
        return UpdaterNotStarted;
    }

    // A last moment to cancel, then the start.
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
    if (RemoveIfPresent(programFolder / OldProgramName)) {
        RemoveIfPresent(programFolder / UpdaterName);
    }
    return 0;
}

}  // namespace vemo
