#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace vemo {

// The four rules a code may carry, in the order the file and the options page list them.
enum class AlertKind : int { Above = 0, Below = 1, RiseAbove = 2, FallBelow = 3 };
inline constexpr std::size_t AlertKindCount = 4;

// The file's key of each kind: "above", "below", "riseAbove", "fallBelow".
const char* AlertKey(AlertKind kind);
// Whether the kind's value is a price (the other two are percentages).
constexpr bool IsPriceAlert(AlertKind kind) {
    return kind == AlertKind::Above || kind == AlertKind::Below;
}

// Prices in thousandths of a yuan, 1 to 1,000,000,000 (0.001 to 1,000,000 yuan); percentages
// in hundredths of a percent, 1 to 10,000 (0.01% to 100%). Whole numbers, so that a line and a
// price compare exactly. 0 stands for no rule.
inline constexpr std::int64_t MaxAlertPrice = 1'000'000'000;
inline constexpr std::int64_t MaxAlertPercent = 10'000;

struct AlertRules {
    std::array<std::int64_t, AlertKindCount> values{};

    std::int64_t operator[](AlertKind kind) const { return values[static_cast<std::size_t>(kind)]; }
    std::int64_t& operator[](AlertKind kind) { return values[static_cast<std::size_t>(kind)]; }
    bool Empty() const;
    bool operator==(const AlertRules&) const = default;
};

// Rules by code, as the code stands in the code list.
using AlertRuleBook = std::map<std::string, AlertRules, std::less<>>;

// A decimal of at most `decimals` places ("10", "10.5", "10.50") as a whole number of
// 10^-decimals units; nullopt for anything else (signs, blanks, exponents, more places, no digit
// on either side of the point, or a value past what 64 bits hold).
std::optional<std::int64_t> ParseScaledDecimal(std::string_view text, int decimals);
// The value of `kind` in its units when `text` is one within its range; nullopt otherwise.
std::optional<std::int64_t> ParseAlertValue(AlertKind kind, std::string_view text);
// A scaled value as a decimal with exactly `decimals` places: 10500, 3 -> "10.500".
std::string FormatScaledDecimal(std::int64_t value, int decimals);
// A rule's value as the file and the options page write it: the fewest places that keep it
// exact, but at least two for a price ("10.50", "10.525", "3", "2.5").
std::string FormatAlertValue(AlertKind kind, std::int64_t value);

}  // namespace vemo
