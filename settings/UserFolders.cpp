#include "settings/UserFolders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "settings/AtomicFile.h"

namespace vemo {

namespace {

// The variable's value when it is an absolute path, else empty.
std::filesystem::path AbsoluteFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] == '/' ? std::filesystem::path(value)
                                               : std::filesystem::path();
}

// $NAME, else `fallback` under the home folder.
std::filesystem::path UserFolder(const char* name, const char* fallback) {
    std::filesystem::path folder = AbsoluteFromEnvironment(name);
    if (!folder.empty()) {
        return folder;
    }
    const std::filesystem::path home = HomeFolder();
    return home.empty() ? home : home / fallback;
}

}  // namespace

std::filesystem::path HomeFolder() {
    std::filesystem::path home = AbsoluteFromEnvironment("HOME");
    if (!home.empty()) {
        return home;
    }
    const long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::string buffer(size > 0 ? static_cast<std::size_t>(size) : 16384, '\0');
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/') {
        home = found->pw_dir;
    }
    return home;
}

std::filesystem::path ConfigHomeFolder() {
    return UserFolder("XDG_CONFIG_HOME", ".config");
}

std::filesystem::path CacheHome() {
    return UserFolder("XDG_CACHE_HOME", ".cache");
}

std::filesystem::path RuntimeFolder() {
    return AbsoluteFromEnvironment("XDG_RUNTIME_DIR");
}

std::filesystem::path TempFolder() {
    const std::filesystem::path temp = AbsoluteFromEnvironment("TMPDIR");
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
