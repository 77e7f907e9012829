// One refresh without the network: parsing a 30-quote response and rendering its page.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "quotes/Gbk.h"
#include "quotes/QuotePage.h"
#include "quotes/QuoteParsers.h"
#include "settings/TickerSettings.h"

namespace vemo {
namespace {

constexpr const char* Names[] = {"浦发银行", "白云机场", "东风汽车", "中国国贸", "首创环保",
                                 "上海机场", "包钢股份", "华能国际", "皖通高速", "华夏银行"};

struct Quote {
    std::string symbol;  // without market
    std::string name;    // GBK
    double prevClose;
    double price;
};

std::vector<Quote> ThirtyQuotes() {
    std::vector<Quote> quotes;
    for (int i = 0; i < 30; ++i) {
        char symbol[8];
        std::snprintf(symbol, sizeof symbol, "%06d", 600000 + i * 7);
        const double prevClose = 5.0 + i * 1.37;
        // Rises, falls and unchanged prices, and a three-decimal fund price now and then.
        const double price = prevClose + (i % 3 - 1) * 0.11 + (i % 5 == 0 ? 0.001 : 0.0);
        quotes.push_back({symbol, Utf8ToGbk(Names[i % 10]), prevClose, price});
    }
    return quotes;
}

std::vector<std::string> SinaLines() {
    std::vector<std::string> lines;
    for (const Quote& q : ThirtyQuotes()) {
        char line[512];
        std::snprintf(line, sizeof line,
                      "var hq_str_sh%s=\"%s,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,26352317,"
                      "191895458.000,51300,%.3f,85400,%.3f,17300,%.3f,94900,%.3f,50100,%.3f,"
                      "283800,%.3f,227000,%.3f,233500,%.3f,166200,%.3f,168300,%.3f,"
                      "2022-11-11,15:00:00,00,\";",
                      q.symbol.c_str(), q.name.c_str(), q.prevClose + 0.02, q.prevClose, q.price,
                      q.price + 0.05, q.price - 0.05, q.price - 0.01, q.price, q.price - 0.01,
                      q.price - 0.02, q.price - 0.03, q.price - 0.04, q.price - 0.05, q.price,
                      q.price + 0.01, q.price + 0.02, q.price + 0.03, q.price + 0.04);
        lines.emplace_back(line);
    }
    return lines;
}

std::vector<std::string> NetEaseLines() {
    std::vector<std::string> lines;
    const std::vector<Quote> quotes = ThirtyQuotes();
    for (std::size_t i = 0; i < quotes.size(); ++i) {
        const Quote& q = quotes[i];
        char line[512];
        std::snprintf(line, sizeof line,
                      "var quote_0%s='0%s;%s;%.3f;%.3f;191895458.00;26352317;0;0;%.3f;%.3f;%.3f;"
                      "2022-11-11 15:00:00';%s",
                      q.symbol.c_str(), q.symbol.c_str(), q.name.c_str(), q.prevClose,
                      q.prevClose + 0.02, q.price + 0.05, q.price - 0.05, q.price,
                      i + 1 == quotes.size() ? "QuoteData.show_quote();" : "");
        lines.emplace_back(line);
    }
    return lines;
}

std::vector<std::string> TencentLines() {
    std::vector<std::string> lines;
    for (const Quote& q : ThirtyQuotes()) {
        char line[640];
        std::snprintf(line, sizeof line,
                      "v_sh%s=\"1~%s~%s~%.3f~%.3f~%.3f~263523~131761~131762~%.3f~513~%.3f~854~"
                      "%.3f~173~%.3f~949~%.3f~501~%.3f~2838~%.3f~2270~%.3f~2335~%.3f~1662~%.3f~"
                      "1683~~20221111150000~0.11~1.20~%.3f~%.3f~%.3f/263523/191895458~263523~"
                      "19189.5458~0.06~5.12~~%.3f~%.3f~1.51~2935.12~2935.12~0.41~~~\";",
                      q.symbol.c_str(), q.name.c_str(), q.symbol.c_str(), q.price, q.prevClose,
                      q.prevClose + 0.02, q.price - 0.01, q.price - 0.02, q.price - 0.03,
                      q.price - 0.04, q.price - 0.05, q.price, q.price + 0.01, q.price + 0.02,
                      q.price + 0.03, q.price + 0.04, q.price + 0.05, q.price - 0.05, q.price,
                      q.price + 0.05, q.price - 0.05);
        lines.emplace_back(line);
    }
    return lines;
}

TickerSettings ThirtyCodeSettings(int provider) {
    TickerSettings settings = DefaultTickerSettings();
    settings.provider = provider;
    std::string list;
    for (const Quote& q : ThirtyQuotes()) {
        list += "," + q.symbol;
    }
    std::snprintf(settings.codeList, sizeof settings.codeList, "%s", list.c_str());
    return settings;
}

void RunRefresh(benchmark::State& state, int provider, const std::vector<std::string>& lines) {
    std::tm now{};
    const QuoteFetchers fetchers{
        [&lines](const TickerSettings&, std::string_view, const char*, QuoteBatch& batch) {
            ParseSinaResponse(lines, batch);
            return FetchOk;
        },
        [&lines, &now](const TickerSettings&, std::string_view, const char*, QuoteBatch& batch) {
            ParseNetEaseResponse(lines, batch, now);
            return FetchOk;
        },
        [&lines](const TickerSettings&, std::string_view, const char*, QuoteBatch& batch) {
            ParseTencentResponse(lines, batch);
            return FetchOk;
        }};
    const TickerSettings settings = ThirtyCodeSettings(provider);
    std::vector<char> page(PageBufferSize);
    int bytes = 0;
    for (auto _ : state) {
        int rows = 2;
        int cols = 3;
        bytes = RenderQuotePage(settings, {}, false, page, rows, cols, fetchers);
        if (rows != 30) {
            state.SkipWithError("the response did not give 30 rows");
            break;
        }
        benchmark::DoNotOptimize(page.data());
    }
    state.counters["page_bytes"] = bytes;
}

void BM_SinaRefresh(benchmark::State& state) {
    const std::vector<std::string> lines = SinaLines();
    RunRefresh(state, ProviderSina, lines);
}

void BM_NetEaseRefresh(benchmark::State& state) {
    const std::vector<std::string> lines = NetEaseLines();
    RunRefresh(state, ProviderNetEase, lines);
}

void BM_TencentRefresh(benchmark::State& state) {
    const std::vector<std::string> lines = TencentLines();
    RunRefresh(state, ProviderTencent, lines);
}

// The parsers alone, to tell their share of a refresh.
void BM_SinaParse(benchmark::State& state) {
    const std::vector<std::string> lines = SinaLines();
    for (auto _ : state) {
        QuoteBatch batch;
        ParseSinaResponse(lines, batch);
        benchmark::DoNotOptimize(batch.count);
    }
}

void BM_NetEaseParse(benchmark::State& state) {
    const std::vector<std::string> lines = NetEaseLines();
    const std::tm now{};
    for (auto _ : state) {
        QuoteBatch batch;
        ParseNetEaseResponse(lines, batch, now);
        benchmark::DoNotOptimize(batch.count);
    }
}

void BM_TencentParse(benchmark::State& state) {
    const std::vector<std::string> lines = TencentLines();
    for (auto _ : state) {
        QuoteBatch batch;
        ParseTencentResponse(lines, batch);
        benchmark::DoNotOptimize(batch.count);
    }
}

BENCHMARK(BM_SinaRefresh)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NetEaseRefresh)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TencentRefresh)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SinaParse)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NetEaseParse)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TencentParse)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vemo

BENCHMARK_MAIN();
