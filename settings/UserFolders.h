#pragma once

#include <filesystem>

namespace vemo {

// The user's folders. A value from the environment counts only when it is an absolute path, as
// the base-directory rules require: a relative one would name a different folder after the
// program changes its current folder at start.

// $HOME, else the home folder of the user's entry in the password database; empty when neither
// gives one.
std::filesystem::path HomeFolder();
// ${XDG_CONFIG_HOME:-$HOME/.config}; empty without a home folder.
std::filesystem::path ConfigHomeFolder();
// ${XDG_CACHE_HOME:-$HOME/.cache} (it may not exist); empty without a home folder.
std::filesystem::path CacheHome();
// $XDG_RUNTIME_DIR; empty when it is unset.
std::filesystem::path RuntimeFolder();
// The temporary folder: $TMPDIR, else /tmp.
std::filesystem::path TempFolder();

// Creates `folder` (and its parents) for this user alone and checks that what stands there is a
// real folder of this user that nobody else may write into, so that files in it cannot be
// swapped or planted by another user. False when that cannot be had.
bool EnsurePrivateFolder(const std::filesystem::path& folder);

}  // namespace vemo
