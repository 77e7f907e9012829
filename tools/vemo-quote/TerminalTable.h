#pragma once

#include <string>
#include <vector>

#include "quotes/Quotes.h"
#include "settings/TickerSettings.h"

namespace vemo {

// The watch list as a terminal table in UTF-8: the columns and rows that pageContent selects,
// rising rows red and falling rows green when `colour` is set.
std::string FormatTerminalTable(const TickerSettings& settings, QuoteBatch& batch, bool colour);

// The codes of the settings' list, in list order and each once, for which the batch holds no
// quote.
std::vector<std::string> CodesWithoutQuote(const TickerSettings& settings, const QuoteBatch& batch);

}  // namespace vemo
