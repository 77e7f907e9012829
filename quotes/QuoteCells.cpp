#include "quotes/QuoteCells.h"

#include <algorithm>

#include "quotes/TextFormat.h"

namespace vemo {

namespace {

// Wide enough for any float printed with "%0.3f" (39 digits before the point) and a sign.
constexpr std::size_t CellTextSize = 64;

std::string Fixed(double value, int precision, const char* prefix = "", const char* suffix = "") {
    char text[CellTextSize];
    const std::size_t length = FormatFixed(text, value, precision);
    std::string cell = prefix;
    cell.append(text, std::min(length, sizeof text - 1));
    cell += suffix;
    return cell;
}

}  // namespace

QuoteCells FormatQuoteCells(const QuoteRecord& record) {
    QuoteCells cells;
    // Three decimals when "%0.3f" of the price does not end in 0.
    const std::string scratch = Fixed(record.price, 3);
    cells.decimals = !scratch.empty() && scratch.back() != '0' ? 3 : 2;
    const bool three = cells.decimals == 3;

    const float difference = record.price - record.prevClose;
    cells.rising = difference > 0;
    cells.price = three ? scratch : Fixed(record.price, 2);

    if (record.prevClose == 0 || record.price == 0) {
        cells.change = three ? "0.000" : "0.00";
        cells.percent = "0.00%";
        return cells;
    }
    // A fall carries its own minus sign.
    const char* sign = cells.rising ? "+" : "";
    cells.change = Fixed(difference, cells.decimals, sign);
    const float percent = difference * 100 / record.prevClose;
    cells.percent = Fixed(percent, 2, sign, "%");
    return cells;
}

}  // namespace vemo
