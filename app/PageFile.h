#pragma once

#include <filesystem>
#include <string_view>

#include "settings/UserFolders.h"

namespace vemo {

inline constexpr char PageFileName[] = "vemotmp.htm";

// The page file: in the user's cache folder when it exists, else in the temporary folder.
// `cacheHome` and `tempFolder` come from the environment when empty (tests pass their own).
std::filesystem::path PageFilePath(const std::filesystem::path& cacheHome = {},
                                   const std::filesystem::path& tempFolder = {});

// Writes the page as text (each line feed as CR LF), replacing the file's content. Refuses to
// write through a link or into a file that is not the user's own, so that nobody can plant a
// link in a shared folder and have the ticker overwrite another file. False on any failure.
bool WritePageFile(const std::filesystem::path& path, std::string_view page);

}  // namespace vemo
