#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "quotes/Quotes.h"

namespace vemo {

// Money in millionths of a yuan (ExactPriceUnitsPerYuan): shares times an exact price, without
// rounding. 128 bits hold a billion shares at any price the parsers let through, summed over a
// whole watch list.
__extension__ typedef __int128 Money;

inline constexpr std::int64_t MaxHoldingShares = 1'000'000'000;
inline constexpr std::int64_t MaxHoldingCost = 1'000'000 * ExactPriceUnitsPerYuan;

struct Holding {
    std::int64_t shares = 0;  // 1 to MaxHoldingShares
    std::int64_t cost = 0;    // per share, millionths of a yuan, 0 to MaxHoldingCost
};

// A whole number of shares from 1 to MaxHoldingShares, digits only; nullopt otherwise.
std::optional<std::int64_t> ParseHoldingShares(std::string_view text);
// A cost per share from 0 to 1,000,000 yuan with at most three decimals ("9.85", "10", "0.125"),
// in millionths of a yuan; nullopt otherwise.
std::optional<std::int64_t> ParseHoldingCost(std::string_view text);

// The holdings by code, as the codes stand in the code list.
class HoldingTable {
  public:
    // Adds or replaces the code's holding.
    void Set(std::string_view code, Holding holding);
    const Holding* Find(std::string_view code) const;
    bool Empty() const { return entries_.empty(); }
    // Whether any code of the comma-separated list has a holding.
    bool AnyListed(std::string_view codeList) const;

  private:
    std::vector<std::pair<std::string, Holding>> entries_;
};

// The figures of one holding against one quote.
struct HoldingFigures {
    // False when the quote carries neither a price nor a previous close: nothing can value the
    // holding, and it is left out of the sums.
    bool valued = false;
    Money marketValue = 0;
    Money todayProfit = 0;
    Money totalProfit = 0;
    Money prevCloseValue = 0;  // shares times the previous close: the base of today's profit
    Money costValue = 0;       // shares times the cost: the base of the total profit
};

// A price of 0 (before the open, a suspended share) is no price: the holding is then valued at
// the previous close and has made nothing today.
HoldingFigures FigureHolding(const Holding& holding, const QuoteRecord& quote);

struct HoldingTotals {
    Money marketValue = 0;
    Money todayProfit = 0;
    Money totalProfit = 0;
    Money prevCloseValue = 0;
    Money costValue = 0;

    void Add(const HoldingFigures& figures);
};

// Yuan with two decimals, rounded half away from zero: "1234.57", "-0.01", "0.00"; with
// `plusSign` a gain carries "+".
std::string FormatMoney(Money units, bool plusSign);
// numerator / denominator as a percentage with two decimals, rounded half away from zero, a
// gain with "+" and a loss with "-" as the page's change column writes them: "+5.26%", "0.00%";
// "--" when the denominator is 0.
std::string FormatRatioPercent(Money numerator, Money denominator);
// -1, 0 or 1: the sign of the amount as FormatMoney shows it, so that what reads 0.00 is plain.
int MoneySign(Money units);

// The texts of one holding's row: today's profit, total profit, market value, total profit in
// percent, with the signs that colour them.
struct HoldingCells {
    std::string marketValue;
    std::string todayProfit;
    std::string totalProfit;
    std::string totalPercent;
    int todaySign = 0;
    int totalSign = 0;
};
// `plusSign` as for FormatMoney. An unvalued holding gives "--" for every text.
HoldingCells FormatHoldingCells(const HoldingFigures& figures, bool plusSign);

}  // namespace vemo
