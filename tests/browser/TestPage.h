#pragma once

#include <QString>

#include <algorithm>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "quotes/Gbk.h"
#include "quotes/QuotePage.h"
#include "settings/TickerSettings.h"

// Readable QStrings in test failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace vemo::testing {

// One quote as a provider answers it; the name is UTF-8 here. The other figures of the row's
// tool tip are the same for every quote: open 7.52, high 7.70, low 7.48, 123456 lots, 9500.00.
struct TestQuote {
    const char* code;
    const char* name;
    float prevClose;
    float price;
};

inline constexpr char TestDataTime[] = "2024-05-10 15:00:03";

// The quote renderer's page for `quotes`, fetched by a stand-in for the provider, as the page
// file holds it: GBK bytes. The code list of `settings` becomes the quotes' codes.
inline std::string RenderTestPage(const std::vector<TestQuote>& quotes,
                                  TickerSettings settings = DefaultTickerSettings()) {
    std::string codes;
    for (const TestQuote& quote : quotes) {
        codes += ',';
        codes += quote.code;
    }
    std::memset(settings.codeList, 0, sizeof settings.codeList);
    std::memcpy(settings.codeList, codes.data(),
                std::min(codes.size(), sizeof settings.codeList - 1));

    const QuoteFetcher answer = [&quotes](const TickerSettings&, std::string_view, const char*,
                                          QuoteBatch& batch) {
        for (const TestQuote& quote : quotes) {
            auto record = std::make_unique<QuoteRecord>();
            std::memset(record.get(), 0, sizeof *record);
            const std::string name = Utf8ToGbk(quote.name);
            std::memcpy(record->name, name.data(), std::min(name.size(), QuoteTextSize - 1));
            std::memcpy(record->code, quote.code,
                        std::min(std::strlen(quote.code), QuoteTextSize - 1));
            record->prevClose = quote.prevClose;
            record->price = quote.price;
            record->open = 7.52f;
            record->high = 7.70f;
            record->low = 7.48f;
            record->volume = 123456;
            record->turnover = 9500.0f;
            batch.records[static_cast<std::size_t>(batch.count++)] = std::move(record);
        }
        std::memcpy(batch.dataTime, TestDataTime, sizeof TestDataTime);
        return FetchOk;
    };
    std::vector<char> page(PageBufferSize, '\0');
    int rows = 2;
    int cols = 3;
    RenderQuotePage(settings, {}, false, page, rows, cols, QuoteFetchers{answer, answer, answer});
    return std::string(page.data());
}

// The same page as text.
inline QString TestQuotePage(const std::vector<TestQuote>& quotes,
                             const TickerSettings& settings = DefaultTickerSettings()) {
    return QString::fromStdString(GbkToUtf8(RenderTestPage(quotes, settings)));
}

// The tool tip a browser shows for a quote row of `name` and `code` with a previous close of
// 7.50.
inline QString TestQuoteToolTip(const QString& name, const QString& code) {
    return QStringLiteral(
               "%1(%2)\n昨收盘: 7.50\n今开盘: 7.52\n最  高: 7.70\n最  低: 7.48\n成交量: 123456\n"
               "成交额: 9500.00")
        .arg(name, code);
}

}  // namespace vemo::testing
