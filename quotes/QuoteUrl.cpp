#include "quotes/QuoteUrl.h"

#include <cstring>

namespace vemo {

namespace {

// A row's replacement for each provider; nullptr where the row does not apply.
struct Replacement {
    const char* search;
    const char* sina;
    const char* netEase;
    const char* tencent;
};

// Applied strictly in this order: the index codes and 000300 must be converted before the
// rows that choose a market by the first digit alone would give them the Shenzhen prefix.
// ",3" (ChiNext stocks, 300xxx and 301xxx) comes after ",399" for the same reason. Tencent
// takes Sina's prefixes and also serves the Beijing exchange (8xxxxx, 4xxxxx and 92xxxx), whose
// ",92" must come before the Shanghai ",9".
constexpr Replacement ReplacementTable[] = {
    {",1A00", ",sh0000", ";00000", ",sh0000"},
    {",1B0001", ",sh000004", ";0000004", ",sh000004"},
    {",1B0002", ",sh000005", ";0000005", ",sh000005"},
    {",1B0003", ",sh000006", ";0000006", ",sh000006"},
    {",1B0004", ",sh000007", ";0000007", ",sh000007"},
    {",1B0005", ",sh000008", ";0000008", ",sh000008"},
    {",1B0006", ",sh000009", ";0000009", ",sh000009"},
    {",1B0007", ",sh000010", ";0000010", ",sh000010"},
    {",1B0008", ",sh000011", ";0000011", ",sh000011"},
    {",1B0009", ",sh000012", ";0000012", ",sh000012"},
    {",399", ",sz399", ";1399", ",sz399"},
    {",3", ",sz3", ";13", ",sz3"},
    {",000300", ",sh000300", ";0000300", ",sh000300"},
    {",92", nullptr, nullptr, ",bj92"},
    {",9", ",sh9", ";09", ",sh9"},
    {",6", ",sh6", ";06", ",sh6"},
    {",5", ",sh5", ";05", ",sh5"},
    {",2", ",sz2", ";12", ",sz2"},
    {",0", ",sz0", ";10", ",sz0"},
    {",1", ",sz1", ";11", ",sz1"},
    {",8", nullptr, nullptr, ",bj8"},
    {",4", nullptr, nullptr, ",bj4"},
};

void ReplaceAll(std::string& text, std::string_view search, std::string_view replacement) {
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    std::size_t from = 0;
    for (std::size_t at = text.find(search); at != std::string::npos;
         at = text.find(search, from)) {
        out.append(text, from, at - from);
        out.append(replacement);
        from = at + search.size();
    }
    out.append(text, from, std::string::npos);
    text.swap(out);
}

// Index symbols in table order: the first one contained in the symbol names its code.
constexpr const char* IndexCodes[] = {"1A0001", "1A0002", "1A0003", "1B0001", "1B0002", "1B0003",
                                      "1B0004", "1B0005", "1B0006", "1B0007", "1B0008", "1B0009"};

void SymbolToCode(char* symbol, std::string_view indexPrefix, const char* const (&indexSymbols)[12],
                  std::size_t marketPrefixLength) {
    const std::size_t length = std::strlen(symbol);
    if (length == 0 || length > 10) {
        return;
    }
    const std::string_view text(symbol, length);
    if (text.starts_with(indexPrefix)) {
        for (std::size_t i = 0; i < std::size(indexSymbols); ++i) {
            if (text.find(indexSymbols[i]) != std::string_view::npos) {
                std::memcpy(symbol, IndexCodes[i], 7);  // six characters and the terminator
                return;
            }
        }
    }
    if (length <= marketPrefixLength) {
        symbol[0] = '\0';
        return;
    }
    const std::size_t rest = std::min<std::size_t>(length - marketPrefixLength, 6);
    std::memmove(symbol, symbol + marketPrefixLength, rest);
    symbol[rest] = '\0';
}

constexpr const char* SinaIndexSymbols[12] = {"sh000001", "sh000002", "sh000003", "sh000004",
                                              "sh000005", "sh000006", "sh000007", "sh000008",
                                              "sh000009", "sh000010", "sh000011", "sh000012"};
constexpr const char* NetEaseIndexSymbols[12] = {"0000001", "0000002", "0000003", "0000004",
                                                 "0000005", "0000006", "0000007", "0000008",
                                                 "0000009", "0000010", "0000011", "0000012"};

}  // namespace

std::string MakeQuoteUrl(std::string_view codeList, int provider) {
    const bool netEase = provider == ProviderNetEase;
    const bool tencent = provider == ProviderTencent;
    std::string list(codeList);
    for (const Replacement& row : ReplacementTable) {
        const char* replacement = netEase ? row.netEase : tencent ? row.tencent : row.sina;
        if (replacement != nullptr) {
            ReplaceAll(list, row.search, replacement);
        }
    }
    const char separator = netEase ? ';' : ',';
    const std::size_t first = list.find_first_not_of(separator);
    list.erase(0, first == std::string::npos ? list.size() : first);
    // The empty list "," has no code to request, whichever separator the provider uses.
    if (list.find_first_not_of(',') == std::string::npos) {
        list.clear();
    }
    return (netEase ? NetEaseBaseUrl : tencent ? TencentBaseUrl : SinaBaseUrl) + list;
}

int BuildQuoteUrl(const TickerSettings& settings, std::string& quoteUrl) {
    const std::size_t length = strnlen(settings.codeList, sizeof settings.codeList);
    quoteUrl = MakeQuoteUrl(std::string_view(settings.codeList, length), settings.provider);
    return 1;
}

void SinaSymbolToCode(char* symbol) {
    SymbolToCode(symbol, "sh0000", SinaIndexSymbols, 2);
}

void NetEaseSymbolToCode(char* symbol) {
    SymbolToCode(symbol, "00000", NetEaseIndexSymbols, 1);
}

void TencentSymbolToCode(char* symbol) {
    // Tencent's symbols are Sina's, with "bj" for Beijing, which loses its prefix like the others.
    SinaSymbolToCode(symbol);
}

}  // namespace vemo
