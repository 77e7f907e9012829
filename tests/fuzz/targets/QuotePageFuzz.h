#pragma once

// A provider's answer through its parser and the quote page renderer, as one refresh takes it.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "quotes/DataTime.h"
#include "quotes/QuotePage.h"
#include "quotes/QuoteParsers.h"
#include "tests/fuzz/targets/FuzzCheck.h"

namespace vemo::fuzz {

using Parser = std::function<void(std::span<const std::string>, QuoteBatch&)>;

// What a parser hands over: a bounded count, a record in every counted slot, texts that end
// within their fields and a data time that is empty or a date and time.
inline void CheckBatch(const QuoteBatch& batch) {
    FUZZ_CHECK(batch.count >= 0 && batch.count <= MaxQuotes);
    for (int i = 0; i < MaxQuotes; ++i) {
        const auto& record = batch.records[static_cast<std::size_t>(i)];
        FUZZ_CHECK((record != nullptr) == (i < batch.count));
        if (record) {
            FUZZ_CHECK(strnlen(record->name, QuoteTextSize) < QuoteTextSize);
            FUZZ_CHECK(strnlen(record->code, QuoteTextSize) < QuoteTextSize);
        }
    }
    const std::size_t timeLength = strnlen(batch.dataTime, DataTimeSize);
    FUZZ_CHECK(timeLength < DataTimeSize);
    FUZZ_CHECK(timeLength == 0 || IsDataTimeShape({batch.dataTime, timeLength}));
}

// Every '<' of the page opens one of the renderer's own tags: no text of the answer becomes
// markup.
inline void CheckOnlyRendererMarkup(std::string_view page) {
    static constexpr std::string_view Tags[] = {"html",  "head", "meta", "title", "style", "body",
                                                "table", "tr",   "td",   "a",     "font",  "br"};
    for (std::size_t at = page.find('<'); at != std::string_view::npos;
         at = page.find('<', at + 1)) {
        std::string_view rest = page.substr(at + 1);
        if (rest.starts_with('/')) {
            rest.remove_prefix(1);
        }
        bool known = false;
        for (const std::string_view tag : Tags) {
            known = known || (rest.starts_with(tag) && rest.size() > tag.size() &&
                              (rest[tag.size()] == ' ' || rest[tag.size()] == '>'));
        }
        FUZZ_CHECK(known);
    }
}

inline void ParseAndRender(const std::uint8_t* data, std::size_t size, int provider,
                           const Parser& parse) {
    const std::vector<std::string> lines =
        SplitResponseLines({reinterpret_cast<const char*>(data), size});

    QuoteBatch checked;
    parse(lines, checked);
    CheckBatch(checked);

    // Every column, the header and the time row, in custom colours.
    TickerSettings settings = DefaultTickerSettings();
    settings.provider = provider;
    settings.pageContent = 0x7F;
    settings.optionFlags |= customColors;
    // The chosen service answers with the input; the others, asked when it holds no quote, fail.
    QuoteFetchers fetchers;
    QuoteFetcher& chosen = provider == ProviderNetEase   ? fetchers.netEase
                           : provider == ProviderTencent ? fetchers.tencent
                                                         : fetchers.sina;
    chosen = [&](const TickerSettings&, std::string_view, const char*, QuoteBatch& batch) {
        parse(lines, batch);
        return FetchOk;
    };
    std::vector<char> page(PageBufferSize, '\0');
    int rows = 2;
    int cols = 3;
    const int written = RenderQuotePage(settings, {}, false, page, rows, cols, fetchers);
    const std::size_t length = strnlen(page.data(), page.size());
    FUZZ_CHECK(length < page.size());
    FUZZ_CHECK(rows == checked.count && cols == 5);
    const std::string_view text(page.data(), length);
    CheckOnlyRendererMarkup(text);
    if (checked.count == 0) {
        // No quote, and no other service to answer: the fetch-error page.
        FUZZ_CHECK(written == FetchFailed);
        FUZZ_CHECK(text.find("<table") == std::string_view::npos);
        return;
    }
    FUZZ_CHECK(written >= 0 && static_cast<std::size_t>(written) == length);
    FUZZ_CHECK(text.ends_with("</table></body></html>"));
}

}  // namespace vemo::fuzz
