#include "options/HoldingsState.h"

#include <algorithm>
#include <optional>

#include "quotes/Holdings.h"
#include "quotes/HoldingsFile.h"

namespace vemo {

namespace {

std::string_view Trim(std::string_view text) {
    constexpr std::string_view blanks = " \t\n\v\f\r";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

}  // namespace

bool ValidShares(std::string_view text) {
    return ParseHoldingShares(text).has_value();
}

bool ValidCost(std::string_view text) {
    return ParseHoldingCost(text).has_value();
}

HoldingsPageState HoldingsStateFrom(const std::vector<std::string>& codes, const PerCodeFile& file,
                                    const std::map<std::string, std::string>& names) {
    HoldingsPageState state;
    state.showProfit = file.Get(HoldingsOptionsSection, ShowProfitKey).value_or("1") != "0";
    for (const std::string& code : codes) {
        if (code.empty() || std::any_of(state.lines.begin(), state.lines.end(),
                                        [&](const HoldingLine& line) { return line.code == code; })) {
            continue;
        }
        HoldingLine line;
        line.code = code;
        if (const auto name = names.find(code); name != names.end()) {
            line.name = name->second;
        }
        for (const PerCodeColumn& column : HoldingColumns) {
            line.texts.push_back(file.Get(code, column.key).value_or(std::string()));
        }
        state.lines.push_back(std::move(line));
    }
    return state;
}

HoldingError ValidateHoldings(const HoldingsPageState& state) {
    for (std::size_t l = 0; l < state.lines.size(); ++l) {
        const HoldingLine& line = state.lines[l];
        const auto text = [&](std::size_t c) {
            return c < line.texts.size() ? Trim(line.texts[c]) : std::string_view();
        };
        // Shares and cost: both empty (no holding) or both right.
        const bool anyHolding = !text(0).empty() || !text(1).empty();
        for (std::size_t c = 0; c < HoldingColumnCount; ++c) {
            const bool pair = c < 2;
            if (text(c).empty() && !(pair && anyHolding)) {
                continue;
            }
            if (!HoldingColumns[c].valid(text(c))) {
                return HoldingError{HoldingColumns[c].message, l, c};
            }
        }
    }
    return {};
}

std::string StoreHoldings(const HoldingsPageState& state, PerCodeFile& file) {
    for (const HoldingLine& line : state.lines) {
        for (std::size_t c = 0; c < HoldingColumnCount; ++c) {
            const std::string_view text =
                c < line.texts.size() ? Trim(line.texts[c]) : std::string_view();
            if (text.empty()) {
                file.Remove(line.code, HoldingColumns[c].key);
            } else {
                file.Set(line.code, HoldingColumns[c].key, text);
            }
        }
    }
    // The switch is written once it was turned off, so a file that never had it stays as it is.
    if (!state.showProfit || file.Get(HoldingsOptionsSection, ShowProfitKey)) {
        file.Set(HoldingsOptionsSection, ShowProfitKey, state.showProfit ? "1" : "0");
    }
    return file.Save().reason;
}

}  // namespace vemo
