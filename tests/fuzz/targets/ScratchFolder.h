#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace vemo::fuzz {

// A folder of this process for the files a target writes, removed at exit. In memory where the
// system offers it: every input writes files, and each write is flushed to its disk.
inline const std::filesystem::path& ScratchFolder() {
    static const std::filesystem::path folder = [] {
        const std::filesystem::path base = ::access("/dev/shm", W_OK) == 0
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        std::string pattern = (base / "vemo-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        return std::filesystem::path(pattern);
    }();
    static const bool removedAtExit = std::atexit([] {
                                          std::error_code error;
                                          std::filesystem::remove_all(ScratchFolder(), error);
                                      }) == 0;
    (void)removedAtExit;
    return folder;
}

}  // namespace vemo::fuzz
