#include "settings/UserFolders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "settings/AtomicFile.h"

namespace vemo {

namespace {

std::filesystem::path FromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0' ? std::filesystem::path(value)
                                                : std::filesystem::path();
}

}  // namespace

std::filesystem::path CacheHome() {
    std::filesystem::path cache = FromEnvironment("XDG_CACHE_HOME");
    if (cache.empty()) {
        const std::filesystem::path home = FromEnvironment("HOME");
        if (!home.empty()) {
            cache = home / ".cache";
        }
    }
    return cache;
}

std::filesystem::path TempFolder() {
    std::filesystem::path temp = FromEnvironment("TMPDIR");
    return temp.empty() ? std::filesystem::path("/tmp") : temp;
}

bool EnsurePrivateFolder(const std::filesystem::path& folder) {
    if (!CreateFolders(folder, 0700)) {
        return false;
    }
    struct stat st {};
    return ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & 022) == 0;
}

}  // namespace vemo
