#pragma once

#include <filesystem>

namespace vemo {

// True when `file` is a complete program that this machine can run as this program runs: an ELF
// file of the running program's class, byte order and machine, an executable or
// position-independent executable, whose program headers and loadable segments all lie inside
// the file. An empty file, an error page or a cut-off download is none.
bool IsProgramForThisMachine(const std::filesystem::path& file);

}  // namespace vemo
