#pragma once

#include <filesystem>

namespace vemo {

// The user's cache folder: $XDG_CACHE_HOME, else $HOME/.cache (it may not exist).
std::filesystem::path CacheHome();
// The temporary folder: $TMPDIR, else /tmp.
std::filesystem::path TempFolder();

// Creates `folder` (and its parents) for this user alone and checks that what stands there is a
// real folder of this user that nobody else may write into, so that files in it cannot be
// swapped or planted by another user. False when that cannot be had.
bool EnsurePrivateFolder(const std::filesystem::path& folder);

}  // namespace vemo
