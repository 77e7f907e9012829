#include "quotes/Holdings.h"

#include <algorithm>

namespace vemo {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Divides, rounding half away from zero; `denominator` is not 0.
Money DivideRounded(Money numerator, Money denominator) {
    const bool negative = (numerator < 0) != (denominator < 0);
    const Money n = numerator < 0 ? -numerator : numerator;
    const Money d = denominator < 0 ? -denominator : denominator;
    const Money magnitude = 2 * (n % d) >= d ? n / d + 1 : n / d;
    return negative ? -magnitude : magnitude;
}

Money Hundredths(Money units) {
    return DivideRounded(units, ExactPriceUnitsPerYuan / 100);
}

// A whole number of hundredths as "-12.34".
std::string FormatHundredths(Money hundredths, bool plusSign) {
    const bool negative = hundredths < 0;
    Money magnitude = negative ? -hundredths : hundredths;
    std::string digits;
    do {
        digits.push_back(static_cast<char>('0' + static_cast<int>(magnitude % 10)));
        magnitude /= 10;
    } while (magnitude > 0);
    while (digits.size() < 3) {
        digits.push_back('0');
    }
    std::reverse(digits.begin(), digits.end());
    digits.insert(digits.size() - 2, 1, '.');
    if (negative) {
        digits.insert(0, 1, '-');
    } else if (plusSign && hundredths > 0) {
        digits.insert(0, 1, '+');
    }
    return digits;
}

}  // namespace

std::optional<std::int64_t> ParseHoldingShares(std::string_view text) {
    if (text.empty() || text.size() > 10) {
        return std::nullopt;
    }
    std::int64_t shares = 0;
    for (char c : text) {
        if (!IsDigit(c)) {
            return std::nullopt;
        }
        shares = shares * 10 + (c - '0');
    }
    if (shares < 1 || shares > MaxHoldingShares) {
        return std::nullopt;
    }
    return shares;
}

std::optional<std::int64_t> ParseHoldingCost(std::string_view text) {
    const std::size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    // Leading zeros aside, 1,000,000 has seven digits.
    if (whole.empty() || whole.size() > 16 || fraction.size() > 3 ||
        (point != std::string_view::npos && fraction.empty())) {
        return std::nullopt;
    }
    std::int64_t yuan = 0;
    for (char c : whole) {
        if (!IsDigit(c)) {
            return std::nullopt;
        }
        yuan = yuan * 10 + (c - '0');
    }
    std::int64_t units = 0;
    std::int64_t scale = ExactPriceUnitsPerYuan;
    for (char c : fraction) {
        if (!IsDigit(c)) {
            return std::nullopt;
        }
        scale /= 10;
        units += (c - '0') * scale;
    }
    if (yuan > MaxHoldingCost / ExactPriceUnitsPerYuan) {
        return std::nullopt;
    }
    units += yuan * ExactPriceUnitsPerYuan;
    if (units > MaxHoldingCost) {
        return std::nullopt;
    }
    return units;
}

void HoldingTable::Set(std::string_view code, Holding holding) {
    for (auto& entry : entries_) {
        if (entry.first == code) {
            entry.second = holding;
            return;
        }
    }
    entries_.emplace_back(std::string(code), holding);
}

const Holding* HoldingTable::Find(std::string_view code) const {
    for (const auto& entry : entries_) {
        if (entry.first == code) {
            return &entry.second;
        }
    }
    return nullptr;
}

bool HoldingTable::AnyListed(std::string_view codeList) const {
    while (!codeList.empty()) {
        const std::size_t comma = codeList.find(',');
        if (Find(codeList.substr(0, comma)) != nullptr) {
            return true;
        }
        codeList.remove_prefix(comma == std::string_view::npos ? codeList.size() : comma + 1);
    }
    return false;
}

HoldingFigures FigureHolding(const Holding& holding, const QuoteRecord& quote) {
    HoldingFigures figures;
    if (quote.exactPrice == 0 && quote.exactPrevClose == 0) {
        return figures;
    }
    const Money shares = holding.shares;
    const std::int64_t price = quote.exactPrice != 0 ? quote.exactPrice : quote.exactPrevClose;
    figures.valued = true;
    figures.marketValue = shares * price;
    figures.prevCloseValue = shares * quote.exactPrevClose;
    figures.costValue = shares * holding.cost;
    figures.todayProfit = quote.exactPrice != 0 ? figures.marketValue - figures.prevCloseValue : 0;
    figures.totalProfit = figures.marketValue - figures.costValue;
    return figures;
}

void HoldingTotals::Add(const HoldingFigures& figures) {
    if (!figures.valued) {
        return;
    }
    marketValue += figures.marketValue;
    todayProfit += figures.todayProfit;
    totalProfit += figures.totalProfit;
    prevCloseValue += figures.prevCloseValue;
    costValue += figures.costValue;
}

std::string FormatMoney(Money units, bool plusSign) {
    return FormatHundredths(Hundredths(units), plusSign);
}

std::string FormatRatioPercent(Money numerator, Money denominator) {
    if (denominator == 0) {
        return "--";
    }
    return FormatHundredths(DivideRounded(numerator * 10000, denominator), true) + "%";
}

int MoneySign(Money units) {
    const Money shown = Hundredths(units);
    return shown > 0 ? 1 : shown < 0 ? -1 : 0;
}

HoldingCells FormatHoldingCells(const HoldingFigures& figures, bool plusSign) {
    HoldingCells cells;
    if (!figures.valued) {
        cells.marketValue = cells.todayProfit = cells.totalProfit = cells.totalPercent = "--";
        return cells;
    }
    cells.marketValue = FormatMoney(figures.marketValue, false);
    cells.todayProfit = FormatMoney(figures.todayProfit, plusSign);
    cells.totalProfit = FormatMoney(figures.totalProfit, plusSign);
    cells.totalPercent = FormatRatioPercent(figures.totalProfit, figures.costValue);
    cells.todaySign = MoneySign(figures.todayProfit);
    cells.totalSign = MoneySign(figures.totalProfit);
    return cells;
}

}  // namespace vemo
