#pragma once

// The holdings page's lines and the step that checks them and writes holdings.ini. No Qt here:
// the page fills its fields from HoldingsStateFrom and hands their texts back to
// ValidateHoldings and StoreHoldings.

#include <iterator>
#include <map>
#include <string>
#include <string_view>
#include <vector>

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

struct HoldingLine {
    std::string code;                // as in the code list
    std::string name;                // UTF-8, from the last quotes; empty without
    std::vector<std::string> texts;  // one per column of HoldingColumns, UTF-8, as typed
};

struct HoldingsPageState {
    std::vector<HoldingLine> lines;
    bool showProfit = true;  // 显示盈亏
};

// One line per code of `codes` (each code once, in order) with the file's texts as they stand,
// bad ones too, and the name from `names` (code to UTF-8 name).
HoldingsPageState HoldingsStateFrom(const std::vector<std::string>& codes, const PerCodeFile& file,
                                    const std::map<std::string, std::string>& names);

// The first wrong field, reading line by line and within a line column by column.
struct HoldingError {
    std::string message;  // empty: every field is right
    std::size_t line = 0;
    std::size_t column = 0;
};
HoldingError ValidateHoldings(const HoldingsPageState& state);

// Writes the lines into the file's sections (a line left empty removes the code's holding) and
// the switch; other sections and keys stay. Call only after ValidateHoldings passed. The file is
// saved only when this changed it: the empty result, else why the save failed.
std::string StoreHoldings(const HoldingsPageState& state, PerCodeFile& file);

}  // namespace vemo
