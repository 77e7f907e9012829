// Request URLs from any code list, and the back-mapping of any symbol: nothing is written past a
// field, and every code the URL asks for maps back to itself.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "quotes/QuoteUrl.h"
#include "quotes/Quotes.h"
#include "tests/fuzz/targets/FuzzCheck.h"

namespace {

using namespace vemo;

void CheckBackMapping(std::string_view input) {
    // The parsers hand over at most nine characters and a terminator.
    char symbol[QuoteTextSize] = {};
    const std::size_t length = std::min(input.size(), QuoteTextSize - 1);
    std::memcpy(symbol, input.data(), length);
    for (void (*map)(char*) : {SinaSymbolToCode, NetEaseSymbolToCode, TencentSymbolToCode}) {
        char mapped[QuoteTextSize];
        std::memcpy(mapped, symbol, sizeof mapped);
        map(mapped);
        FUZZ_CHECK(strnlen(mapped, sizeof mapped) < sizeof mapped);
    }
}

const char* BaseUrl(int provider) {
    return provider == ProviderNetEase   ? NetEaseBaseUrl
           : provider == ProviderTencent ? TencentBaseUrl
                                         : SinaBaseUrl;
}

void MapBack(int provider, char* symbol) {
    (provider == ProviderNetEase   ? NetEaseSymbolToCode
     : provider == ProviderTencent ? TencentSymbolToCode
                                   : SinaSymbolToCode)(symbol);
}

// The symbol the URL asks for a single code, after the base URL.
std::string RequestedSymbol(const std::string& code, int provider) {
    const std::string url = MakeQuoteUrl("," + code, provider);
    const std::size_t base = std::strlen(BaseUrl(provider));
    FUZZ_CHECK(url.size() > base);
    return url.substr(base);
}

// Six digits from the input, as a code of a market the URL gives a prefix (not 4, 7 or 8 first),
// or one of the program's own index codes.
void CheckRoundTrip(std::string_view input) {
    if (input.size() < 6) {
        return;
    }
    static constexpr const char* IndexCodes[] = {"1A0001", "1A0002", "1A0003", "1B0001",
                                                 "1B0002", "1B0003", "1B0004", "1B0005",
                                                 "1B0006", "1B0007", "1B0008", "1B0009"};
    std::string code;
    const auto first = static_cast<unsigned char>(input[0]);
    if (first >= 0xF4) {
        code = IndexCodes[first - 0xF4];
    } else {
        for (std::size_t i = 0; i < 6; ++i) {
            code += static_cast<char>('0' + static_cast<unsigned char>(input[i]) % 10);
        }
        if (code[0] == '4' || code[0] == '7' || code[0] == '8') {
            return;
        }
    }
    for (const int provider : {ProviderSina, ProviderNetEase, ProviderTencent}) {
        const std::string symbol = RequestedSymbol(code, provider);
        char mapped[QuoteTextSize] = {};
        FUZZ_CHECK(symbol.size() < sizeof mapped);
        std::memcpy(mapped, symbol.data(), symbol.size());
        MapBack(provider, mapped);
        FUZZ_CHECK(code == mapped);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    // The settings' field holds up to 512 bytes, with or without a terminator.
    TickerSettings settings = DefaultTickerSettings();
    std::memset(settings.codeList, 0, sizeof settings.codeList);
    std::memcpy(settings.codeList, input.data(), std::min(input.size(), sizeof settings.codeList));
    for (const int provider : {ProviderSina, ProviderNetEase, ProviderTencent, 0}) {
        settings.provider = provider;
        std::string quoteUrl;
        FUZZ_CHECK(BuildQuoteUrl(settings, quoteUrl) == 1);
        FUZZ_CHECK(quoteUrl.starts_with(BaseUrl(provider)));
        (void)MakeQuoteUrl(input, provider);
    }
    CheckBackMapping(input);
    CheckRoundTrip(input);
    return 0;
}
