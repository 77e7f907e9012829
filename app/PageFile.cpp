#include "app/PageFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace vemo {

namespace {

std::filesystem::path FromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0' ? std::filesystem::path(value)
                                                : std::filesystem::path();
}

// Writes all of `data`, retrying short writes and interruptions.
bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    // Closes now, reporting a failure that close alone can reveal.
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

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
    FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
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

std::filesystem::path ProgramFolder() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::current_path(error) : self.parent_path();
}

}  // namespace vemo
