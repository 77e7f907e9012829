#include "app/PageFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "settings/UniqueFd.h"

namespace vemo {

std::filesystem::path PageFilePath(const std::filesystem::path& cacheHome,
                                   const std::filesystem::path& tempFolder) {
    const std::filesystem::path cache = cacheHome.empty() ? CacheHome() : cacheHome;
    std::error_code error;
    if (!cache.empty() && std::filesystem::is_directory(cache, error)) {
        return cache / PageFileName;
    }
    const std::filesystem::path temp = tempFolder.empty() ? TempFolder() : tempFolder;
    return temp / PageFileName;
}

bool WritePageFile(const std::filesystem::path& path, std::string_view page) {
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (fd.get() < 0) {
        return false;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) {
        return false;
    }
    if (::ftruncate(fd.get(), 0) != 0) {
        return false;
    }
    std::string text;
    text.reserve(page.size() + page.size() / 16);
    for (const char c : page) {
        if (c == '\n') {
            text += '\r';
        }
        text += c;
    }
    return WriteAll(fd.get(), text) && fd.Close();
}

}  // namespace vemo
