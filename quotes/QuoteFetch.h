#pragma once

#include <string_view>

#include "net/HttpGet.h"
#include "quotes/Quotes.h"
#include "settings/TickerSettings.h"

namespace vemo {

// One GET of `quoteUrl` (BuildQuoteUrl's) for the provider, parsed into the batch. Results:
// FetchOk, FetchBadUrl (the URL has no host; nothing sent) or FetchFailed (connection, request or
// read failed; the count stays 0 and no record is left in the batch).
int FetchSinaQuotes(const TickerSettings& settings, std::string_view quoteUrl, const char* headers,
                    QuoteBatch& batch, const FetchOptions& options = {});
int FetchNetEaseQuotes(const TickerSettings& settings, std::string_view quoteUrl,
                       const char* headers, QuoteBatch& batch, const FetchOptions& options = {});
// The same for any provider value (3 NetEase, 4 Tencent, any other Sina).
int FetchQuotesFrom(int provider, const TickerSettings& settings, std::string_view url,
                    const char* headers, QuoteBatch& batch, const FetchOptions& options = {});

}  // namespace vemo
