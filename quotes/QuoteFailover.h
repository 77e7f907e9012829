#pragma once

#include <array>
#include <string_view>

#include "quotes/QuotePage.h"
#include "quotes/Quotes.h"
#include "settings/TickerSettings.h"

namespace vemo {

// The services one refresh may ask, in order: the chosen one, then the others in the fixed order
// Sina, Tencent, NetEase.
std::array<int, 3> ServiceOrder(int provider);

// The service's name as the page writes it (GBK): 新浪, 腾讯 or 网易.
const char* ServiceName(int provider);

// The number of records the batch reports (its count, within the table, without empty slots).
int ListedRecords(const QuoteBatch& batch);

struct FailoverOutcome {
    int result = FetchFailed;  // the fetch result of the answer left in the batch
    int provider = 0;          // the service whose answer is in the batch
    bool answered = false;     // that answer holds quotes
    // Without quotes: every service asked gave a readable answer (FetchOk), none with a quote,
    // as for codes that no service knows. Any failed fetch leaves it false.
    bool everyServiceReplied = false;
    // Without quotes: the first failed fetch's result, FetchOk when none failed.
    int firstFailure = FetchOk;
};

// One refresh's fetch. The chosen service is asked at `chosenUrl` (BuildQuoteUrl's). It fails when
// its fetch fails or its answer holds no quote (an error page, an answer in some other form, or
// empty entries only); only then are the others asked in ServiceOrder, each at the URL of the
// code list for it, until one answers with quotes. An answer with quotes for some of the codes
// is a working service. The batch (fresh on entry) is left with the first answer that holds
// quotes, or, when none does, with the chosen service's own answer.
FailoverOutcome FetchWithFailover(const TickerSettings& settings, std::string_view chosenUrl,
                                  const QuoteFetchers& fetchers, QuoteBatch& batch);

}  // namespace vemo
