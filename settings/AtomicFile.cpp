#include "settings/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

#include "settings/UniqueFd.h"

namespace vemo {

namespace {

FileReadStatus ReadFile(const std::filesystem::path& file, std::size_t maxBytes,
                        std::string& content) {
    if (file.empty()) {
        return FileReadStatus::Missing;
    }
    // O_NONBLOCK keeps a FIFO planted under the file's name from blocking the open.
    UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0) {
        return (errno == ENOENT || errno == ENOTDIR) ? FileReadStatus::Missing
                                                     : FileReadStatus::Failed;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<unsigned long long>(st.st_size) > maxBytes) {
        return FileReadStatus::Failed;
    }
    std::string data;
    data.reserve(static_cast<std::size_t>(st.st_size));
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return FileReadStatus::Failed;
        }
        if (n == 0) {
            break;
        }
        // The file may grow while it is read; the limit holds for what is read, too.
        if (data.size() + static_cast<std::size_t>(n) > maxBytes) {
            return FileReadStatus::Failed;
        }
        data.append(chunk, static_cast<std::size_t>(n));
    }
    content = std::move(data);
    return FileReadStatus::Ok;
}

int ReplaceFile(const std::filesystem::path& file, std::string_view content, mode_t mode,
                ModePolicy policy) {
    if (file.empty() || !file.has_filename()) {
        errno = ENOENT;
        return ReplaceNoTarget;
    }
    std::filesystem::path target = file;
    struct stat st {};
    if (::lstat(file.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        std::error_code ec;
        target = std::filesystem::weakly_canonical(file, ec);
        if (ec || !target.has_filename()) {
            errno = ec ? ec.value() : ENOENT;
            return ReplaceNoTarget;
        }
    }
    bool exists = false;
    if (::stat(target.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
            return ReplaceNoTarget;
        }
        // The mode bits, not access(): root may write anything, but a file made read-only
        // stays so for root too.
        if ((st.st_mode & S_IWUSR) == 0) {
            return ReplaceReadOnly;
        }
        exists = true;
    } else if (errno != ENOENT) {
        return ReplaceNoTarget;
    }
    const mode_t finalMode =
        (exists && policy == ModePolicy::KeepExisting) ? (st.st_mode & 07777) : mode;

    PendingFile pending(target);
    if (pending.Fd() < 0) {
        return ReplaceNoTempFile;
    }
    if (::fchmod(pending.Fd(), finalMode) != 0) {
        return ReplaceWriteFailed;
    }
    if (exists && (st.st_uid != ::geteuid() || st.st_gid != ::getegid())) {
        // Only a privileged process can hand the file back to its owner; otherwise the
        // replacement belongs to whoever wrote it, as a newly written file would.
        [[maybe_unused]] const int ignored = ::fchown(pending.Fd(), st.st_uid, st.st_gid);
    }
    if (!WriteAll(pending.Fd(), content)) {
        return ReplaceWriteFailed;
    }
    return pending.Commit();
}

// ".NAME.XXXXXX" beside the target, for mkostemp.
std::string TempPattern(const std::filesystem::path& target) {
    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    std::string leaf = ".";
    leaf += target.filename().string();
    leaf += ".XXXXXX";
    return (folder / leaf).string();
}

}  // namespace

FileReadStatus ReadWholeFile(const std::filesystem::path& file, std::size_t maxBytes,
                             std::string& content) {
    content.clear();
    try {
        return ReadFile(file, maxBytes, content);
    } catch (...) {
        content.clear();
        return FileReadStatus::Failed;
    }
}

int ReplaceFileAtomically(const std::filesystem::path& file, std::string_view content, mode_t mode,
                          ModePolicy policy) {
    try {
        return ReplaceFile(file, content, mode, policy);
    } catch (...) {
        errno = ENOMEM;
        return ReplaceWriteFailed;  // out of memory; the guard has removed any temporary file
    }
}

PendingFile::PendingFile(const std::filesystem::path& target)
    : target_(target),
      tempName_(TempPattern(target)),
      fd_(::mkostemp(tempName_.data(), O_CLOEXEC)) {
    if (fd_.get() < 0) {
        tempName_.clear();
    }
}

PendingFile::~PendingFile() {
    if (!tempName_.empty()) {
        // The caller reads errno for the reason of the failure that brought it here.
        const int failure = errno;
        ::unlink(tempName_.c_str());
        errno = failure;
    }
}

int PendingFile::Commit() {
    if (fd_.get() < 0) {
        return ReplaceWriteFailed;
    }
    if (::fsync(fd_.get()) != 0 || !fd_.Close()) {
        return ReplaceWriteFailed;
    }
    if (::rename(tempName_.c_str(), target_.c_str()) != 0) {
        return ReplaceRenameFailed;
    }
    tempName_.clear();
    // The rename itself becomes durable only with the folder's entry; a failure here leaves a
    // complete file in place either way, so it is not reported.
    std::filesystem::path folder = target_.parent_path();
    UniqueFd dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) {
        ::fsync(dir.get());
    }
    return ReplaceOk;
}

bool CreateFolders(const std::filesystem::path& folder, mode_t mode) {
    if (folder.empty()) {
        return false;
    }
    try {
        std::filesystem::path partial;
        for (const auto& part : folder) {
            partial /= part;
            if (::mkdir(partial.c_str(), mode) != 0 && errno != EEXIST) {
                return false;
            }
        }
    } catch (...) {
        return false;
    }
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace vemo
