#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "quotes/Holdings.h"
#include "settings/PerCodeFile.h"

namespace vemo {

inline constexpr char HoldingsFileName[] = "holdings.ini";
inline constexpr char HoldingSharesKey[] = "shares";
inline constexpr char HoldingCostKey[] = "cost";
// The switch that shows or hides the profit columns lives in a section no code can have.
inline constexpr char HoldingsOptionsSection[] = "VEMO";
inline constexpr char ShowProfitKey[] = "showProfit";

// holdings.ini in the per-user folder.
PerCodeFile HoldingsFile();

// A value in the file that does not parse or is out of range.
struct HoldingProblem {
    std::string code;
    std::string key;   // HoldingSharesKey or HoldingCostKey
    std::string text;  // as it stands in the file; empty when the key is missing
};

struct LoadedHoldings {
    HoldingTable table;      // the codes whose shares and cost both read well
    bool showProfit = true;  // the profit columns are shown
    std::vector<HoldingProblem> problems;
    bool readable = true;  // false: the file exists but could not be read

    // The table the page shows: none while the columns are switched off.
    const HoldingTable* Shown() const { return showProfit ? &table : nullptr; }
};

// The holdings of a loaded file. A section holds a holding when it has shares or cost; one of
// them missing or not reading well makes the code's holding absent, and the first bad value of
// the section is a problem.
LoadedHoldings ReadHoldings(const PerCodeFile& file);
// Loads `file` and reads it.
LoadedHoldings LoadHoldings(PerCodeFile file);

// One line for standard error naming the bad value (UTF-8).
std::string DescribeHoldingProblem(const std::filesystem::path& file,
                                   const HoldingProblem& problem);

}  // namespace vemo
