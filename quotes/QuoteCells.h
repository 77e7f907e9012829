#pragma once

#include <string>

#include "quotes/Quotes.h"

namespace vemo {

// The value texts of one quote row, as the quote page and the terminal view show them.
struct QuoteCells {
    bool rising = false;  // price above the previous close
    int decimals = 2;     // 3 when the price has a third decimal that is not 0
    std::string price;    // "%0.3f" or "%0.2f"
    std::string change;   // "+0.50", "-0.016", "0.00"
    std::string percent;  // "+5.26%", "-1.28%", "0.00%"
};

QuoteCells FormatQuoteCells(const QuoteRecord& record);

}  // namespace vemo
