#pragma once

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "settings/UniqueFd.h"

namespace vemo {

enum class FileReadStatus {
    Ok,       // the whole file is in the buffer
    Missing,  // no such file (or a path component is not a folder)
    Failed,   // exists but cannot be read, is not a regular file, or is larger than allowed
};

// Reads a whole regular file of at most `maxBytes` bytes. On any status but Ok `content` is empty.
FileReadStatus ReadWholeFile(const std::filesystem::path& file, std::size_t maxBytes,
                             std::string& content);

// Results of ReplaceFileAtomically.
inline constexpr int ReplaceOk = 0;
inline constexpr int ReplaceNoTarget = -1;      // the target is not a regular file or link to one
inline constexpr int ReplaceNoTempFile = -2;    // no temporary file could be made beside it
inline constexpr int ReplaceWriteFailed = -3;   // writing or flushing the temporary file failed
inline constexpr int ReplaceRenameFailed = -4;  // the temporary file could not take its place
inline constexpr int ReplaceReadOnly = -5;      // the file's owner has no write permission on it

enum class ModePolicy {
    KeepExisting,  // an existing file keeps its permission bits; a new one gets `mode`
    Always,        // the file ends up with `mode` whatever it had
};

// Replaces `file` with `content` so that readers see either the old or the new file, never a
// mix: a temporary file in the same folder is written, flushed and renamed over the target. A
// symbolic link is followed so the file it points to is replaced and the link stays. A file
// whose owner may not write it (no owner write bit) is left as it is, whoever asks, as a write
// through the file itself would be refused. On failure the old file is untouched and no
// temporary file remains, and errno tells why (but for ReplaceReadOnly).
int ReplaceFileAtomically(const std::filesystem::path& file, std::string_view content,
                          mode_t mode = 0600, ModePolicy policy = ModePolicy::KeepExisting);

// A file written under a temporary name beside its target and put in the target's place only
// when it is complete, so that nobody ever sees a partial file under the target's name. The
// temporary file ".NAME.XXXXXX" is made with mode 0600 and removed again unless Commit succeeds.
class PendingFile {
  public:
    explicit PendingFile(const std::filesystem::path& target);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // The temporary file, open for writing; -1 when it could not be made.
    int Fd() const { return fd_.get(); }
    // Flushes and closes the file and renames it over the target: ReplaceOk, ReplaceWriteFailed
    // or ReplaceRenameFailed (the temporary file is then gone and the target untouched).
    int Commit();

  private:
    std::filesystem::path target_;
    std::string tempName_;
    UniqueFd fd_;
};

// Creates `folder` and any missing parents with `mode` (folders that exist keep theirs).
// Returns false when the folder does not exist afterwards.
bool CreateFolders(const std::filesystem::path& folder, mode_t mode);

}  // namespace vemo
