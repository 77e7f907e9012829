#pragma once

#include <filesystem>
#include <string_view>

#include "settings/UserFolders.h"

namespace vemo {

inline constexpr char PageFileName[] = "vemotmp.htm";

// The folders the page file may live in.
struct PageFileFolders {
    std::filesystem::path cache;    // the user's cache folder (it may not exist)
    std::filesystem::path runtime;  // the user's runtime folder; empty when there is none
    std::filesystem::path temp;     // the temporary folder, shared by all users
};
PageFileFolders PageFileFoldersOfProcess();

// The page file: "vemotmp.htm" in the user's cache folder when it exists, else in the user's
// runtime folder when that is a folder, else in the temporary folder under a name that carries
// the user's id ("vemotmp-1000.htm"), so that users who share that folder never share the file.
std::filesystem::path PageFilePath(const PageFileFolders& folders);
std::filesystem::path PageFilePath();

// Writes the page as text (each line feed as CR LF), replacing the file's content. A missing
// file is created new (never through a link); an existing one must be a regular file of the
// user's own with no other name, so that nobody can plant a link or a file in a shared folder and
// have the ticker overwrite another file. False on any failure.
bool WritePageFile(const std::filesystem::path& path, std::string_view page);

}  // namespace vemo
