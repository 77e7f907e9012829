#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "quotes/Quotes.h"
#include "settings/TickerSettings.h"

namespace vemo {

struct FetchOptions {
    long connectTimeoutSeconds = 60;
    // A transfer that receives no data for this long fails.
    long stallTimeoutSeconds = 30;
    // A transfer, connection included, fails when it has not ended after this long: a server
    // that trickles its answer never trips the stall limit. 0 for none (the new program's
    // download, which may be large and has its own cancel).
    long deadlineSeconds = 60;
    // A larger answer is no quote answer; the transfer fails rather than grow without bound.
    std::size_t maxResponseBytes = 4u << 20;
    // When set (and it becomes true), a running transfer ends promptly with FetchFailed.
    const std::atomic<bool>* cancel = nullptr;
};

// libcurl's global state for a program's whole run: set up before any thread may fetch and torn
// down after all have ended. One per program, in main.
class CurlLibrary {
  public:
    CurlLibrary();
    ~CurlLibrary();
    CurlLibrary(const CurlLibrary&) = delete;
    CurlLibrary& operator=(const CurlLibrary&) = delete;
};

// One GET of QuoteUrl for the provider, parsed into the batch. Results: FetchOk, FetchBadUrl
// (QuoteUrl has no host; nothing sent) or FetchFailed (connection, request or read failed; the
// count stays 0 and no record is left in the batch).
int FetchSinaQuotes(const TickerSettings& settings, const char* headers, QuoteBatch& batch,
                    const FetchOptions& options = {});
int FetchNetEaseQuotes(const TickerSettings& settings, const char* headers, QuoteBatch& batch,
                       const FetchOptions& options = {});
// The same for any provider value (3 NetEase, 4 Tencent, any other Sina) and a URL of its own.
int FetchQuotesFrom(int provider, const TickerSettings& settings, std::string_view url,
                    const char* headers, QuoteBatch& batch, const FetchOptions& options = {});

// The transport alone: one GET of `url` with the header block (and one more header line when
// `extraHeader` is not empty), the settings' proxy rules, no cache. The body's lines on
// FetchOk.
int FetchLines(const TickerSettings& settings, std::string_view url, const char* headers,
               std::string_view extraHeader, std::vector<std::string>& lines,
               const FetchOptions& options = {});

}  // namespace vemo
