#include "quotes/MissingCodes.h"

#include <algorithm>

#include "settings/CodeList.h"

namespace vemo {

std::vector<std::string> CodesWithoutQuote(const TickerSettings& settings,
                                           const QuoteBatch& batch) {
    std::vector<std::string> quoted;
    const int count = std::clamp(batch.count, 0, MaxQuotes);
    for (int i = 0; i < count; ++i) {
        if (const QuoteRecord* record = batch.records[static_cast<std::size_t>(i)].get()) {
            quoted.push_back(FieldText(record->code));
        }
    }
    std::vector<std::string> missing;
    for (std::string& code : SplitCodeList(FieldText(settings.codeList))) {
        if (std::find(quoted.begin(), quoted.end(), code) == quoted.end() &&
            std::find(missing.begin(), missing.end(), code) == missing.end()) {
            missing.push_back(std::move(code));
        }
    }
    return missing;
}

std::string JoinCodes(const std::vector<std::string>& codes) {
    std::string line;
    for (const std::string& code : codes) {
        line += line.empty() ? "" : ", ";
        line += code;
    }
    return line;
}

}  // namespace vemo
