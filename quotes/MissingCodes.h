#pragma once

#include <string>
#include <vector>

#include "quotes/Quotes.h"
#include "settings/TickerSettings.h"

namespace vemo {

// The codes of the settings' list, in list order and each once, for which the batch holds no
// quote: a service leaves out the codes it does not know.
std::vector<std::string> CodesWithoutQuote(const TickerSettings& settings, const QuoteBatch& batch);

// "A, B, C": the codes as one line.
std::string JoinCodes(const std::vector<std::string>& codes);

}  // namespace vemo
