#include "quotes/HoldingsFile.h"

#include <optional>

namespace vemo {

PerCodeFile HoldingsFile() {
    return PerCodeFile::InUserFolder(HoldingsFileName);
}

LoadedHoldings ReadHoldings(const PerCodeFile& file) {
    LoadedHoldings loaded;
    loaded.showProfit = file.Get(HoldingsOptionsSection, ShowProfitKey).value_or("1") != "0";
    for (const std::string& code : file.Codes()) {
        if (code == HoldingsOptionsSection) {
            continue;
        }
        const std::optional<std::string> shares = file.Get(code, HoldingSharesKey);
        const std::optional<std::string> cost = file.Get(code, HoldingCostKey);
        if (!shares && !cost) {
            continue;  // a section of something else
        }
        const std::optional<std::int64_t> shareCount =
            ParseHoldingShares(shares.value_or(std::string()));
        const std::optional<std::int64_t> costUnits =
            ParseHoldingCost(cost.value_or(std::string()));
        if (!shareCount) {
            loaded.problems.push_back({code, HoldingSharesKey, shares.value_or(std::string())});
        } else if (!costUnits) {
            loaded.problems.push_back({code, HoldingCostKey, cost.value_or(std::string())});
        } else {
            loaded.table.Set(code, Holding{*shareCount, *costUnits});
        }
    }
    return loaded;
}

LoadedHoldings LoadHoldings(PerCodeFile file) {
    const bool readable = file.Load();
    LoadedHoldings loaded = ReadHoldings(file);
    loaded.readable = readable;
    return loaded;
}

std::string DescribeHoldingProblem(const std::filesystem::path& file,
                                   const HoldingProblem& problem) {
    std::string line = file.string();
    line += ": [";
    line += problem.code;
    line += "] ";
    line += problem.key;
    if (problem.text.empty()) {
        line += " 缺少或为空";
    } else {
        line += '=';
        // A hand-edited value may hold anything; control characters must not reach a terminal.
        for (const char c : problem.text) {
            const auto byte = static_cast<unsigned char>(c);
            line += byte < 0x20 || byte == 0x7F ? '?' : c;
        }
    }
    line += problem.key == HoldingSharesKey ? ": 持仓输入不正确" : ": 成本输入不正确";
    line += ", 该代码的持仓不计";
    return line;
}

}  // namespace vemo
