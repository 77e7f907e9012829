#pragma once

#include <filesystem>

namespace vemo {

// True when `file` is a complete program that this machine can run as this program runs: an ELF
// file of the running program's class, byte order and machine with an entry point, an executable
// or a position-independent executable that names its dynamic loader (a shared library does
// not), whose program headers, loadable segments and loader name all lie inside the file. An
// empty file, an error page, a shared library or a cut-off download is none.
bool IsProgramForThisMachine(const std::filesystem::path& file);

}  // namespace vemo
