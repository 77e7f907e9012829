#pragma once

#include <string>
#include <string_view>
#include <vector>

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
// rising rows red and falling rows green when `colour` is set.
std::string FormatTerminalTable(const TickerSettings& settings, QuoteBatch& batch, bool colour);

}  // namespace vemo
