#pragma once

// The per-user store that stands in for the program's registry key. ReadAppValue and
// WriteAppValue (settings/SettingsStore.h) are its interface; this header gives their results
// and the file format.
//
// The store is a text file, one value a line, LF line ends:
//
//     "VemoCode"=",1A0001,399001"
//     "Update"=dword:0000002c
//
// A REG_SZ value is its bytes in double quotes, exactly as many as were written (no terminator
// is added). A REG_DWORD value is "dword:" and the number in eight hex digits. Names are quoted
// the same way. Inside quotes, \\ and \" stand for a backslash and a double quote, and every byte
// outside printable ASCII (GBK text, line breaks, NUL) is written as \xHH, so that a value never
// spans lines; when reading, \n \r \t \0 and raw bytes above 0x7F are accepted too. Lines that
// are blank or start with ";" or "#" are comments. Value names match without regard to ASCII
// case, and the first line of a name counts. A line that does not parse is a damaged value: it
// reads as absent and the next write leaves it out, keeping every value that still parses.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vemo {

inline constexpr int AppStoreOk = 0;
// No store path could be found (no home folder), or the store file exists but cannot be read
// (it is then never written over); for reads, a missing store file too.
inline constexpr int AppStoreUnavailable = -1;
// No value of that name, or its line is damaged.
inline constexpr int AppValueMissing = -2;
// The value is longer than the caller's buffer (the buffer is left untouched), or a write would
// make the store larger than MaxAppStoreSize.
inline constexpr int AppValueTooLarge = -3;
// A null name or data pointer, a type other than REG_SZ or REG_DWORD, a REG_DWORD not 4 bytes.
inline constexpr int AppStoreBadArgument = -4;
// The store's folders or the file itself could not be written; the old file is untouched.
inline constexpr int AppStoreWriteFailed = -5;

inline constexpr std::size_t MaxAppStoreSize = 4 * 1024 * 1024;

struct AppValue {
    std::string name;
    std::uint32_t type = 0;  // RegSz or RegDword
    std::string data;        // the value's bytes; a REG_DWORD is 4 bytes, little-endian
};

// Every value line that parses, in file order.
std::vector<AppValue> ParseAppStore(std::string_view text);
// The store file's text: a comment header, then one line per value.
std::string FormatAppStore(const std::vector<AppValue>& values);

}  // namespace vemo
