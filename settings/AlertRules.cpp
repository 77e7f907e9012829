#include "settings/AlertRules.h"

#include <algorithm>
#include <limits>

namespace vemo {

const char* AlertKey(AlertKind kind) {
    switch (kind) {
        case AlertKind::Above:
            return "above";
        case AlertKind::Below:
            return "below";
        case AlertKind::RiseAbove:
            return "riseAbove";
        case AlertKind::FallBelow:
            return "fallBelow";
    }
    return "";
}

bool AlertRules::Empty() const {
    return std::all_of(values.begin(), values.end(), [](std::int64_t value) { return value == 0; });
}

std::optional<std::int64_t> ParseScaledDecimal(std::string_view text, int decimals) {
    const std::size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    if (whole.empty() || (point != std::string_view::npos && fraction.empty()) ||
        fraction.size() > static_cast<std::size_t>(decimals)) {
        return std::nullopt;
    }
    constexpr std::int64_t Limit = std::numeric_limits<std::int64_t>::max() / 10;
    std::int64_t value = 0;
    const auto add = [&value](char c) {
        if (c < '0' || c > '9' || value > Limit - 9) {
            return false;
        }
        value = value * 10 + (c - '0');
        return true;
    };
    for (const char c : whole) {
        if (!add(c)) {
            return std::nullopt;
        }
    }
    for (int i = 0; i < decimals; ++i) {
        if (!add(static_cast<std::size_t>(i) < fraction.size() ? fraction[i] : '0')) {
            return std::nullopt;
        }
    }
    return value;
}

std::optional<std::int64_t> ParseAlertValue(AlertKind kind, std::string_view text) {
    const bool price = IsPriceAlert(kind);
    const std::optional<std::int64_t> value = ParseScaledDecimal(text, price ? 3 : 2);
    if (!value || *value < 1 || *value > (price ? MaxAlertPrice : MaxAlertPercent)) {
        return std::nullopt;
    }
    return value;
}

std::string FormatScaledDecimal(std::int64_t value, int decimals) {
    const bool negative = value < 0;
    // Built from the unsigned magnitude, so that the smallest 64-bit value has one too.
    std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    std::string digits;
    for (int i = 0; i < decimals || magnitude != 0 || digits.size() <= static_cast<std::size_t>(decimals);
         ++i) {
        if (i == decimals && decimals > 0) {
            digits += '.';
        }
        digits += static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    }
    if (negative) {
        digits += '-';
    }
    std::reverse(digits.begin(), digits.end());
    return digits;
}

std::string FormatAlertValue(AlertKind kind, std::int64_t value) {
    const bool price = IsPriceAlert(kind);
    std::string text = FormatScaledDecimal(value, price ? 3 : 2);
    const std::size_t keep = price ? text.size() - 1 : text.find('.');
    while (text.size() > keep && text.back() == '0') {
        text.pop_back();
    }
    if (text.back() == '.') {
        text.pop_back();
    }
    return text;
}

}  // namespace vemo
