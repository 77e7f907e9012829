#include "update/UpdateSetup.h"

#include <unistd.h>

#include <string>

#include "net/UrlDownload.h"
#include "settings/UserFolders.h"

namespace vemo {

std::filesystem::path UpdateCacheFolder() {
    const std::filesystem::path cache = CacheHome();
    if (!cache.empty()) {
        return cache / "Quorvane" / "VemoMonitor";
    }
    return TempFolder() / ("vemo-" + std::to_string(::geteuid()));
}

bool DownloadAnswer(const std::string& url, const std::filesystem::path& file,
                    const UpdateSetup& setup, Interrupt& stop) {
    DownloadOptions options;
    options.transfer = setup.transfer;
    options.transfer.maxResponseBytes = MaxAnswerBytes;
    options.transfer.cancel = stop.Flag();
    return !setup.answerFolder.empty() && EnsurePrivateFolder(setup.answerFolder) &&
           DownloadToFile(url, file, options) == DownloadOk;
}

}  // namespace vemo
