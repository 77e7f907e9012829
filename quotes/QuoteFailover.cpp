#include "quotes/QuoteFailover.h"

#include <algorithm>
#include <string>

#include "quotes/PageTexts.h"
#include "quotes/QuoteUrl.h"

namespace vemo {

namespace {

const QuoteFetcher& FetcherOf(const QuoteFetchers& fetchers, int provider) {
    switch (provider) {
        case ProviderNetEase:
            return fetchers.netEase;
        case ProviderTencent:
            return fetchers.tencent;
        default:
            return fetchers.sina;
    }
}

int Fetch(const QuoteFetcher& fetch, const TickerSettings& settings, std::string_view url,
          QuoteBatch& batch) {
    try {
        return fetch ? fetch(settings, url, QuoteRequestHeaders, batch) : FetchFailed;
    } catch (...) {
        return FetchFailed;
    }
}

}  // namespace

std::array<int, 3> ServiceOrder(int provider) {
    const int chosen = SelectedProvider(provider);
    std::array<int, 3> order{chosen, 0, 0};
    std::size_t next = 1;
    for (const int other : {ProviderSina, ProviderTencent, ProviderNetEase}) {
        if (other != chosen) {
            order[next++] = other;
        }
    }
    return order;
}

const char* ServiceName(int provider) {
    switch (SelectedProvider(provider)) {
        case ProviderNetEase:
            return NetEaseServiceName;
        case ProviderTencent:
            return TencentServiceName;
        default:
            return SinaServiceName;
    }
}

int ListedRecords(const QuoteBatch& batch) {
    const int listed = std::clamp(batch.count, 0, MaxQuotes);
    return static_cast<int>(std::count_if(batch.records.begin(), batch.records.begin() + listed,
                                          [](const auto& record) { return record != nullptr; }));
}

FailoverOutcome FetchWithFailover(const TickerSettings& settings, std::string_view chosenUrl,
                                  const QuoteFetchers& fetchers, QuoteBatch& batch) {
    const std::array<int, 3> order = ServiceOrder(settings.provider);
    FailoverOutcome outcome;
    outcome.provider = order[0];
    outcome.result = Fetch(FetcherOf(fetchers, order[0]), settings, chosenUrl, batch);
    outcome.answered = outcome.result == FetchOk && ListedRecords(batch) > 0;
    if (outcome.answered) {
        return outcome;
    }
    outcome.firstFailure = outcome.result;
    const std::string codeList = FieldText(settings.codeList);
    for (std::size_t i = 1; i < order.size(); ++i) {
        QuoteBatch other;
        const int result =
            Fetch(FetcherOf(fetchers, order[i]), settings, MakeQuoteUrl(codeList, order[i]), other);
        if (result == FetchOk && ListedRecords(other) > 0) {
            batch = std::move(other);
            FailoverOutcome found;
            found.result = result;
            found.provider = order[i];
            found.answered = true;
            return found;
        }
        if (outcome.firstFailure == FetchOk) {
            outcome.firstFailure = result;
        }
    }
    outcome.everyServiceReplied = outcome.firstFailure == FetchOk;
    return outcome;
}

}  // namespace vemo
