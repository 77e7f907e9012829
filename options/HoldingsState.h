#pragma once

// The holdings page's lines and the step that checks them and writes holdings.ini and
// alerts.ini. No Qt here: the page fills its fields from HoldingsStateFrom and AddAlertTexts and
// hands their texts back to ValidatePerCodePage, StoreHoldings and StoreAlerts.

#include <iterator>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "settings/AlertsFile.h"
#include "settings/PerCodeFile.h"

namespace vemo {

inline constexpr char MsgHoldingShares[] = "持仓输入不正确";
inline constexpr char MsgHoldingCost[] = "成本输入不正确";

// One editable column of the page: a key of the code's section in the per-code file.
struct PerCodeColumn {
    const char* header;   // UTF-8, also the second half of each field's accessible name
    const char* key;      // the key in the code's section
    const char* message;  // the status line's text when a field of the column is wrong
    // Whether a field's text (blanks trimmed, not empty) may be stored.
    bool (*valid)(std::string_view text);
};

bool ValidShares(std::string_view text);
bool ValidCost(std::string_view text);

// The page's editable columns, in order. Shares and cost come as a pair: both or neither.
inline constexpr PerCodeColumn HoldingColumns[] = {
    {"持仓", "shares", MsgHoldingShares, &ValidShares},
    {"成本", "cost", MsgHoldingCost, &ValidCost},
};
inline constexpr std::size_t HoldingColumnCount = std::size(HoldingColumns);

inline constexpr char MsgAlertPrice[] = "提醒价格输入不正确";
inline constexpr char MsgAlertPercent[] = "提醒幅度输入不正确";

// The alert columns after the holding ones, one per AlertKind in its order.
struct AlertColumn {
    const char* header;  // UTF-8, as a holding column's
    AlertKind kind;
};
inline constexpr AlertColumn AlertColumns[] = {
    {"高于", AlertKind::Above},
    {"低于", AlertKind::Below},
    {"涨幅%", AlertKind::RiseAbove},
    {"跌幅%", AlertKind::FallBelow},
};
inline constexpr std::size_t AlertColumnCount = std::size(AlertColumns);
static_assert(AlertColumnCount == AlertKindCount);

struct HoldingLine {
    std::string code;                // as in the code list
    std::string name;                // UTF-8, from the last quotes; empty without
    std::vector<std::string> texts;  // one per column of HoldingColumns, UTF-8, as typed
    std::vector<std::string> alertTexts;  // one per column of AlertColumns, as typed
};

struct HoldingsPageState {
    std::vector<HoldingLine> lines;
    bool showProfit = true;  // 显示盈亏
};

// One line per code of `codes` (each code once, in order) with the file's texts as they stand,
// bad ones too, and the name from `names` (code to UTF-8 name).
HoldingsPageState HoldingsStateFrom(const std::vector<std::string>& codes, const PerCodeFile& file,
                                    const std::map<std::string, std::string>& names);

// Gives each line the texts of its code's rules: a rule as FormatAlertValue writes it, a value
// the file holds but could not read as it stands there.
void AddAlertTexts(HoldingsPageState& state, const AlertsFile& alerts);

// The first wrong field, reading line by line and within a line column by column. `column`
// counts the holding columns first and then the alert columns.
struct HoldingError {
    std::string message;  // empty: every field is right
    std::size_t line = 0;
    std::size_t column = 0;
};
HoldingError ValidateHoldings(const HoldingsPageState& state);
HoldingError ValidateAlerts(const HoldingsPageState& state);
// Both, the first wrong field of the whole page.
HoldingError ValidatePerCodePage(const HoldingsPageState& state);

// Writes the lines into the file's sections (a line left empty removes the code's holding) and
// the switch; other sections and keys stay. Call only after ValidateHoldings passed. The file is
// saved only when this changed it: the empty result, else why the save failed.
std::string StoreHoldings(const HoldingsPageState& state, PerCodeFile& file);

// Writes the lines' rules (an empty field removes that rule); a code whose rules are as the file
// has them is left alone, so that an unchanged page does not rewrite the file. Codes without a
// line keep their rules. Call only after ValidateAlerts passed. The empty result, else why the
// save failed.
std::string StoreAlerts(const HoldingsPageState& state, AlertsFile& alerts);

}  // namespace vemo
