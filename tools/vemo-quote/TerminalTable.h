#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "quotes/Holdings.h"
#include "quotes/Quotes.h"
#include "settings/TickerSettings.h"

namespace vemo {

// Provider text made safe for a terminal: every control character of the UTF-8 text (C0, DEL and
// C1, U+0080 to U+009F) becomes '?', so that an answer cannot clear the screen, move the cursor,
// retitle the terminal or hide text.
std::string TerminalSafe(std::string_view utf8);
// A provider's GBK text (a name, a code, the data time) in UTF-8, safe for a terminal.
std::string TerminalProviderText(std::string_view gbk);

// The watch list as a terminal table in UTF-8: the columns and rows that pageContent selects,
// rising rows red and falling rows green when `colour` is set. When `holdings` holds a listed
// code, the profit columns and the line of sums follow as on the quote page.
std::string FormatTerminalTable(const TickerSettings& settings, QuoteBatch& batch, bool colour,
                                const HoldingTable* holdings = nullptr);

// The batch as tab-separated lines for scripts (UTF-8): per quote code, name, price, previous
// close, change, change in percent, shares, cost, market value, today's profit, total profit and
// total profit in percent (the holding's fields empty without one), then the line of sums with
// "合计" as its code.
std::string FormatHoldingsTsv(const QuoteBatch& batch, const HoldingTable& holdings);

}  // namespace vemo
