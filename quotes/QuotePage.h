#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "quotes/Holdings.h"
#include "quotes/QuoteFetch.h"
#include "quotes/Quotes.h"
#include "settings/TickerSettings.h"

namespace vemo {

inline constexpr std::size_t PageBufferSize = 102400;
inline constexpr std::size_t ColourTextSize = 8;  // "#RRGGBB" and a terminator

// The renderer reaches the providers through these: the network fetchers in the program, fakes
// in tests. A fetcher makes one request of `url` and parses the answer into the batch.
using QuoteFetcher = std::function<int(const TickerSettings&, std::string_view url,
                                       const char* headers, QuoteBatch&)>;
struct QuoteFetchers {
    QuoteFetcher sina;
    QuoteFetcher netEase;
    QuoteFetcher tencent;
};
QuoteFetchers NetworkFetchers(const FetchOptions& options = {});

// Writes "#RRGGBB" for a 0x00BBGGRR colour.
void FormatHtmlColour(char (&text)[ColourTextSize], std::uint32_t colour);

// What one refresh put on the page.
struct RefreshReport {
    // RenderQuotePage's result: bytes of a table page, 0 for a notice, the fetch result for the
    // fetch-error page.
    int result = 0;
    // The service whose quotes the page shows (ProviderSina, ProviderNetEase, ProviderTencent);
    // 0 for a notice or the fetch-error page.
    int provider = 0;
    // A service answered this refresh with quotes.
    bool answered = false;
    // Every service failed and the page shows the last quotes again, marked as not updated.
    bool stale = false;
    // The newest date the answer's quotes carry ("YYYY-MM-DD"), empty when none.
    char newestDate[DataDateSize] = {};
    // The listed codes the answering service gave no quote for ("A, B"), empty when none.
    std::string missingCodes;
};

// When `holdings` (may be null) holds a code of the list, the table gains the columns of today's
// and the total profit after the others, and a row of their sums before the time line; `rows`
// counts the row, and `cols` counts each of the two columns as two, the width they need. Without
// such a holding the page is as it always was.
//
// One refresh of the quote page into `page` (zero-filled by the caller, normally
// PageBufferSize bytes; never written past its end, always NUL-terminated). Returns the bytes
// written for a table page, 0 for the upgrade and empty-list notices, or the fetch result for the
// fetch-error page. `rows` and `cols` come in as 2 and 3 and report the table's shape.
// `quoteUrl` is the chosen service's request URL (BuildQuoteUrl's); while `updateRequired` (the
// version check's finding) is set, the page shows the upgrade notice and nothing is fetched.
// The chosen service is asked first; only when it fails (see FetchWithFailover) are the others
// asked, and the time line then names the one that answered. When none gives a quote the page is
// the fetch-error page, unless every one of them answered without a quote (codes that no service
// knows), which is an empty table. A table of fewer than three columns
// breaks such a time line into lines and counts each further line as one more row.
int RenderQuotePage(const TickerSettings& settings, std::string_view quoteUrl, bool updateRequired,
                    std::span<char> page, int& rows, int& cols, const QuoteFetchers& fetchers,
                    RefreshReport* report = nullptr, const HoldingTable* holdings = nullptr);
inline int RenderQuotePage(const TickerSettings& settings, std::string_view quoteUrl,
                           bool updateRequired, std::span<char> page, int& rows, int& cols) {
    return RenderQuotePage(settings, quoteUrl, updateRequired, page, rows, cols, NetworkFetchers());
}

// The ticker's run of refreshes: each one is RenderQuotePage, except that a refresh in which
// every service fails, after one that showed quotes for the same code list, shows those quotes
// again with "未更新" after their time instead of the fetch-error page. Only quotes are kept: an
// answer without any is never shown again as a stale table. Nothing outlives the object.
class QuotePageSession {
  public:
    explicit QuotePageSession(QuoteFetchers fetchers);

    RefreshReport Render(const TickerSettings& settings, std::string_view quoteUrl,
                         bool updateRequired, std::span<char> page, int& rows, int& cols,
                         const HoldingTable* holdings = nullptr);

    // Code to name (UTF-8) of the quotes kept from the last refresh that had any.
    std::map<std::string, std::string> KeptNames() const;

    // Told the rows of each table page before it is written: the records, the data time and
    // whether they are this refresh's answer (false for the last quotes shown again). Returns
    // which rows to mark for the user; an empty answer marks none and leaves the page as it was.
    using RowMarker = std::function<std::vector<bool>(std::span<const QuoteRecord> rows,
                                                      const char* dataTime, bool fresh)>;
    void SetRowMarker(RowMarker marker) { marker_ = std::move(marker); }

    // The quotes a failed refresh shows again.
    struct KeptQuotes {
        std::string codeList;
        int provider = 0;
        std::vector<QuoteRecord> records;
        char dataTime[DataTimeSize] = {};
    };

    // The program was installed by the system's package manager, which alone replaces it: the
    // upgrade notice tells the user to upgrade there instead of offering the download.
    void SetUpgradeByPackageManager(bool byPackageManager) { byPackageManager_ = byPackageManager; }

  private:
    QuoteFetchers fetchers_;
    std::optional<KeptQuotes> kept_;
    bool byPackageManager_ = false;
    RowMarker marker_;
};

}  // namespace vemo
