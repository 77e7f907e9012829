#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "quotes/QuoteFetch.h"
#include "quotes/Quotes.h"
#include "settings/TickerSettings.h"

namespace vemo {

inline constexpr std::size_t PageBufferSize = 102400;
inline constexpr std::size_t ColourTextSize = 8;  // "#RRGGBB" and a terminator

// Set only by the version check; while it is set the page shows the upgrade notice.
extern std::atomic<int> updateRequired;

// The renderer reaches the providers through these: the network fetchers in the program, fakes
// in tests.
using QuoteFetcher = std::function<int(const TickerSettings&, const char* headers, QuoteBatch&)>;
struct QuoteFetchers {
    QuoteFetcher sina;
    QuoteFetcher netEase;
};
QuoteFetchers NetworkFetchers(const FetchOptions& options = {});

// Writes "#RRGGBB" for a 0x00BBGGRR colour.
void FormatHtmlColour(char (&text)[ColourTextSize], std::uint32_t colour);

// One refresh of the quote page into `page` (zero-filled by the caller, normally
// PageBufferSize bytes; never written past its end, always NUL-terminated). Returns the bytes
// written for a table page, 0 for the upgrade and empty-list notices, or the fetch result for the
// fetch-error page. `rows` and `cols` come in as 2 and 3 and report the table's shape.
int RenderQuotePage(const TickerSettings& settings, std::span<char> page, int& rows, int& cols,
                    const QuoteFetchers& fetchers);
inline int RenderQuotePage(const TickerSettings& settings, std::span<char> page, int& rows,
                           int& cols) {
    return RenderQuotePage(settings, page, rows, cols, NetworkFetchers());
}

}  // namespace vemo
