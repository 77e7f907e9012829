#include "update/UpdateSetup.h"

#include <unistd.h>

#include <string>
#include <system_error>

#include "settings/UserFolders.h"

namespace vemo {

std::filesystem::path UpdateCacheFolder() {
    const std::filesystem::path cache = CacheHome();
    if (!cache.empty()) {
        return cache / "Quorvane" / "VemoMonitor";
    }
    return TempFolder() / ("vemo-" + std::to_string(::geteuid()));
}

std::filesystem::path RunningProgramFile() {
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : self;
}

}  // namespace vemo
