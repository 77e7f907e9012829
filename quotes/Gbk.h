#pragma once

#include <string>
#include <string_view>

namespace vemo {

// Conversions at the program's edges; quote data and the page stay GBK bytes in between.
// Bytes that do not convert become U+FFFD (to UTF-8) or '?' (to GBK); nothing is dropped
// silently and no input makes the conversion fail.
std::string GbkToUtf8(std::string_view gbk);
std::string Utf8ToGbk(std::string_view utf8);

// True when the byte opens a GBK double-byte character.
constexpr bool IsGbkLeadByte(unsigned char byte) {
    return byte >= 0x81 && byte <= 0xFE;
}

}  // namespace vemo
