#pragma once

#include <cstddef>
#include <string_view>

#include "quotes/Quotes.h"

namespace vemo {

// Whether `text` is a date and time as the quote services write them and as the page shows them:
// "2008-12-29 15:00:05", or without zero padding "2009-1-5 9:30:7". Three groups of digits joined
// by '-', one blank, three groups of digits joined by ':', and no more than a batch's data time
// holds. A service's answer is plain HTTP: anything else in its place (markup, control
// characters) is not taken as a time.
constexpr bool IsDataTimeShape(std::string_view text) {
    if (text.size() > DataTimeSize - 1) {
        return false;
    }
    std::size_t at = 0;
    const auto digits = [&] {
        const std::size_t start = at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
            ++at;
        }
        return at > start;
    };
    const auto sign = [&](char c) {
        if (at < text.size() && text[at] == c) {
            ++at;
            return true;
        }
        return false;
    };
    return digits() && sign('-') && digits() && sign('-') && digits() && sign(' ') && digits() &&
           sign(':') && digits() && sign(':') && digits() && at == text.size();
}

}  // namespace vemo
