#include "quotes/QuoteFetch.h"

#include <string>
#include <vector>

#include "quotes/QuotePage.h"
#include "quotes/QuoteParsers.h"

namespace vemo {

int FetchQuotesFrom(int provider, const TickerSettings& settings, std::string_view url,
                    const char* headers, QuoteBatch& batch, const FetchOptions& options) {
    const int selected = SelectedProvider(provider);
    std::string body;
    const int result = HttpGet(settings, url, headers,
                               selected == ProviderSina ? SinaRefererHeader : "", body, options);
    if (result != FetchOk) {
        return result;
    }
    const std::vector<std::string> lines = SplitResponseLines(body);
    if (selected == ProviderNetEase) {
        ParseNetEaseResponse(lines, batch);
    } else if (selected == ProviderTencent) {
        ParseTencentResponse(lines, batch);
    } else {
        ParseSinaResponse(lines, batch);
    }
    return FetchOk;
}

int FetchSinaQuotes(const TickerSettings& settings, std::string_view quoteUrl, const char* headers,
                    QuoteBatch& batch, const FetchOptions& options) {
    return FetchQuotesFrom(ProviderSina, settings, quoteUrl, headers, batch, options);
}

int FetchNetEaseQuotes(const TickerSettings& settings, std::string_view quoteUrl,
                       const char* headers, QuoteBatch& batch, const FetchOptions& options) {
    return FetchQuotesFrom(ProviderNetEase, settings, quoteUrl, headers, batch, options);
}

QuoteFetchers NetworkFetchers(const FetchOptions& options) {
    const auto fetcherOf = [options](int provider) -> QuoteFetcher {
        return [options, provider](const TickerSettings& s, std::string_view url, const char* h,
                                   QuoteBatch& b) {
            return FetchQuotesFrom(provider, s, url, h, b, options);
        };
    };
    return QuoteFetchers{fetcherOf(ProviderSina), fetcherOf(ProviderNetEase),
                         fetcherOf(ProviderTencent)};
}

}  // namespace vemo
