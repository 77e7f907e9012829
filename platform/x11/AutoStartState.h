#pragma once

#include <filesystem>

namespace vemo {

// Whether a start at log-on is registered: the entry at `entry` is a file (a link to one counts).
bool AutoStartEntryExists(const std::filesystem::path& entry);

// The same at AutoStartEntryPath(); false without a home folder.
bool AutoStartRegistered();

}  // namespace vemo
