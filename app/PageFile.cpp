#include "app/PageFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "settings/UniqueFd.h"

namespace vemo {

namespace {

// The existing page file, or a new one that nobody else can have prepared.
int OpenPageFile(const std::filesystem::path& path) {
    // O_NONBLOCK keeps a FIFO planted under the name from blocking the open.
    const int fd = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0 || errno != ENOENT) {
        return fd;
    }
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
}

}  // namespace

PageFileFolders PageFileFoldersOfProcess() {
    return {CacheHome(), RuntimeFolder(), TempFolder()};
}

std::filesystem::path PageFilePath(const PageFileFolders& folders) {
    std::error_code error;
    if (!folders.cache.empty() && std::filesystem::is_directory(folders.cache, error)) {
        return folders.cache / PageFileName;
    }
    if (!folders.runtime.empty() && std::filesystem::is_directory(folders.runtime, error)) {
        return folders.runtime / PageFileName;
    }
    return folders.temp / ("vemotmp-" + std::to_string(::geteuid()) + ".htm");
}

std::filesystem::path PageFilePath() {
    return PageFilePath(PageFileFoldersOfProcess());
}

bool WritePageFile(const std::filesystem::path& path, std::string_view page) {
    UniqueFd fd(OpenPageFile(path));
    if (fd.get() < 0) {
        return false;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid() ||
        info.st_nlink != 1) {
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
