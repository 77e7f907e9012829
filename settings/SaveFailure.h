#pragma once

#include <filesystem>
#include <string>

namespace vemo {

// The reason a system call gave (an errno value) in Chinese: the C library's own text when it
// has a Chinese translation here, else a text of ours for the common causes, else the number.
std::string ChineseErrorText(int error);

// Why ReplaceFileAtomically (settings/AtomicFile.h) failed with `result`, given the errno it left.
std::string ReplaceFailureText(int result, int error);

// "设置无法保存到 FILE: REASON", the one line that tells the user a save failed.
std::string SaveFailureMessage(const std::filesystem::path& file, const std::string& reason);

}  // namespace vemo
