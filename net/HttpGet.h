#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>

#include "settings/TickerSettings.h"

namespace vemo {

// Result codes of one fetch.
inline constexpr int FetchOk = 0;
inline constexpr int FetchBadUrl = -1;
inline constexpr int FetchFailed = -2;

// The limits every transfer of the program runs under, quote requests and downloads alike.
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

// One GET of `url` with the header block (lines separated by CR LF; null for none) and one more
// header line when `extraHeader` is not empty, through the settings' proxy (their server and
// credentials, or else the environment's), no cache; gzip and deflate answers arrive decoded.
// Results: FetchOk with the whole body in `body`, whatever the status; FetchBadUrl (not an http
// or https URL with a host; nothing sent); FetchFailed (connection, request or read failed, a
// limit of `options` was passed, or the transfer was cancelled; `body` is left as it was).
int HttpGet(const TickerSettings& settings, std::string_view url, const char* headers,
            std::string_view extraHeader, std::string& body, const FetchOptions& options = {});

}  // namespace vemo
