#pragma once

#include <cstddef>
#include <initializer_list>
#include <span>
#include <string_view>

namespace vemo {

// One argument of a page format.
struct FormatArg {
    enum class Kind { Text, Integer, Real };
    FormatArg(std::string_view value) : kind(Kind::Text), text(value) {}
    FormatArg(const char* value) : kind(Kind::Text), text(value) {}
    FormatArg(int value) : kind(Kind::Integer), integer(value) {}
    FormatArg(double value) : kind(Kind::Real), real(value) {}

    Kind kind;
    std::string_view text;
    long long integer = 0;
    double real = 0;
};

// printf's "%s", "%d", "%%" and "%0.Nf"/"%.Nf" with the bytes printf writes in the C locale,
// many times faster than printf itself for the page's numbers. Writes into `out` as far as it
// goes (always NUL-terminated when `out` is not empty) and returns the length of the whole
// text, like snprintf. A directive it does not know, or a missing argument, is written as it
// stands.
std::size_t FormatText(std::span<char> out, std::string_view format,
                       std::initializer_list<FormatArg> args);

// "%0.Nf" of one value; `out` should hold 64 bytes for any float value.
std::size_t FormatFixed(std::span<char> out, double value, int precision);

}  // namespace vemo
