#pragma once

#include <string>

#include "quotes/Quotes.h"
#include "settings/TickerSettings.h"

namespace vemo {

// The watch list as a terminal table in UTF-8: the columns and rows that pageContent selects,
// rising rows red and falling rows green when `colour` is set.
std::string FormatTerminalTable(const TickerSettings& settings, QuoteBatch& batch, bool colour);

}  // namespace vemo
