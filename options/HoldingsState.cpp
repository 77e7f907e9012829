#include "options/HoldingsState.h"

#include <algorithm>
#include <optional>

#include "options/OptionsState.h"
#include "quotes/Holdings.h"
#include "quotes/HoldingsFile.h"

namespace vemo {

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
            return c < line.texts.size() ? TrimEntry(line.texts[c]) : std::string_view();
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

void AddAlertTexts(HoldingsPageState& state, const AlertsFile& alerts) {
    for (HoldingLine& line : state.lines) {
        line.alertTexts.assign(AlertColumnCount, std::string());
        const auto rules = alerts.Rules().find(line.code);
        for (std::size_t c = 0; c < AlertColumnCount; ++c) {
            const AlertKind kind = AlertColumns[c].kind;
            if (const auto bad = alerts.BadText(line.code, kind)) {
                line.alertTexts[c] = *bad;
            } else if (rules != alerts.Rules().end() && rules->second[kind] != 0) {
                line.alertTexts[c] = FormatAlertValue(kind, rules->second[kind]);
            }
        }
    }
}

HoldingError ValidateAlerts(const HoldingsPageState& state) {
    for (std::size_t l = 0; l < state.lines.size(); ++l) {
        const HoldingLine& line = state.lines[l];
        for (std::size_t c = 0; c < AlertColumnCount && c < line.alertTexts.size(); ++c) {
            const std::string_view text = TrimEntry(line.alertTexts[c]);
            const AlertKind kind = AlertColumns[c].kind;
            if (!text.empty() && !ParseAlertValue(kind, text)) {
                return HoldingError{IsPriceAlert(kind) ? MsgAlertPrice : MsgAlertPercent, l,
                                    HoldingColumnCount + c};
            }
        }
    }
    return {};
}

HoldingError ValidatePerCodePage(const HoldingsPageState& state) {
    const HoldingError holdings = ValidateHoldings(state);
    const HoldingError alerts = ValidateAlerts(state);
    if (holdings.message.empty()) {
        return alerts;
    }
    // On one line the holding columns come first.
    return !alerts.message.empty() && alerts.line < holdings.line ? alerts : holdings;
}

std::string StoreAlerts(const HoldingsPageState& state, AlertsFile& alerts) {
    for (const HoldingLine& line : state.lines) {
        AlertRules rules;
        for (std::size_t c = 0; c < AlertColumnCount && c < line.alertTexts.size(); ++c) {
            const AlertKind kind = AlertColumns[c].kind;
            rules[kind] = ParseAlertValue(kind, TrimEntry(line.alertTexts[c])).value_or(0);
        }
        const auto stored = alerts.Rules().find(line.code);
        const AlertRules before = stored != alerts.Rules().end() ? stored->second : AlertRules{};
        const bool hadBadValue = std::any_of(
            alerts.Problems().begin(), alerts.Problems().end(),
            [&](const AlertFileProblem& problem) { return problem.code == line.code; });
        if (rules != before || hadBadValue) {
            alerts.SetRules(line.code, rules);
        }
    }
    return alerts.Save().reason;
}

std::string StoreHoldings(const HoldingsPageState& state, PerCodeFile& file) {
    for (const HoldingLine& line : state.lines) {
        for (std::size_t c = 0; c < HoldingColumnCount; ++c) {
            const std::string_view text =
                c < line.texts.size() ? TrimEntry(line.texts[c]) : std::string_view();
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
