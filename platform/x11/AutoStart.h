#pragma once

// Start at log-on: an XDG autostart entry that starts the running program when the user logs on.

#include <filesystem>
#include <string>
#include <string_view>

namespace vemo {

inline constexpr int AutoStartOk = 0;
// No autostart folder: there is no home folder, or the folder could not be created.
inline constexpr int AutoStartNoFolder = -1;
// Writing or deleting the entry failed (also: no entry to delete, or a program path that a
// desktop entry cannot hold).
inline constexpr int AutoStartFailed = -2;

// ${XDG_CONFIG_HOME:-$HOME/.config}/autostart/VEMO.desktop; empty without a home folder.
std::filesystem::path AutoStartEntryPath();

// The Exec= value that starts `program` with no arguments, as it stands in the file: the path
// in double quotes with ", `, $ and \ escaped by a backslash and % doubled, then the string
// escapes of the file format (\\, \n, \t, \r) on top. Empty when the path is not UTF-8 or holds a
// control character the format cannot carry.
std::string DesktopExecValue(std::string_view program);

// The whole entry file for `program`; empty when DesktopExecValue is.
std::string AutoStartEntryText(std::string_view program);

// Registers (enable non-zero) or removes the entry at `entry` for `program`. The entry is
// replaced atomically, so a reader never sees half of it. Returns AutoStartOk, AutoStartNoFolder
// or AutoStartFailed.
int SetAutoStartEntry(const std::filesystem::path& entry, std::string_view program, int enable);

// The same for the running program (/proc/self/exe) at AutoStartEntryPath().
int SetAutoStart(int enable);

}  // namespace vemo
