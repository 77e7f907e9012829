#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "quotes/QuoteFetch.h"
#include "settings/TickerSettings.h"

namespace vemo {

// Finding a security by name, pinyin initials or code through the look-up ("suggest") services
// of Sina and Tencent. Everything here is UTF-8.

enum class SecurityKind { Stock, Index, Fund, Bond };

// 股票, 指数, 基金 or 债券.
const char* SecurityKindText(SecurityKind kind);

struct SecurityMatch {
    std::string code;    // as the code list stores it: "600000", "1A0001"
    std::string symbol;  // the service's symbol: "sh600000"
    std::string name;    // control characters replaced by '?', at most MaxMatchNameChars
    std::string pinyin;  // the initials, empty when the service gives none
    SecurityKind kind = SecurityKind::Stock;
};

inline constexpr std::size_t MaxMatches = 10;
inline constexpr std::size_t MaxMatchNameChars = 40;
inline constexpr std::size_t MaxMatchPinyinChars = 20;
// A longer text is no name, pinyin or code anyone types.
inline constexpr std::size_t MaxLookupKeyBytes = 256;

struct LookupAnswer {
    // The body has the form of the service's look-up answer; a cut-off body does not.
    bool recognised = false;
    // What the ticker can show, in the service's order, each code once, at most MaxMatches.
    std::vector<SecurityMatch> matches;
};

// The bodies as the services send them (GBK bytes).
LookupAnswer ParseSinaLookup(std::string_view body);
LookupAnswer ParseTencentLookup(std::string_view body);

// Every byte outside A-Z a-z 0-9 - . _ ~ as %XX.
std::string PercentEncode(std::string_view bytes);
std::string SinaLookupUrl(std::string_view key);
std::string TencentLookupUrl(std::string_view key);

// The code-list code of a symbol ("sh000001" -> "1A0001"), or empty when the symbol is not a
// market and six digits, or when that code would be asked for as another symbol.
std::string CodeForSymbol(std::string_view symbol);

// Result of one service's attempt besides the fetch results of Quotes.h.
inline constexpr int LookupNotAnswer = -10;

struct LookupAttempt {
    int provider = 0;  // ProviderSina or ProviderTencent
    int result = FetchFailed;
};

struct LookupOutcome {
    std::vector<SecurityMatch> matches;
    int provider = 0;       // the service whose matches these are; 0 when none
    bool answered = false;  // some service gave a look-up answer, perhaps with nothing in it
    bool cancelled = false;
    std::vector<LookupAttempt> attempts;  // in the order asked
};

// One GET of `url` for the service; FetchOk with the body, or the fetch's failure.
using LookupFetcher = std::function<int(int provider, const std::string& url, std::string& body)>;

// Sina first; Tencent when Sina fails, answers something else or answers nothing the ticker can
// show. `cancel` (may be null) stops it between the services.
LookupOutcome LookUpWith(std::string_view key, const LookupFetcher& fetch,
                         const std::atomic<bool>* cancel = nullptr);
// The same over the network, with the settings' proxy rules and the limits of `options`.
LookupOutcome LookUp(const TickerSettings& settings, std::string_view key,
                     const FetchOptions& options = {});

// "request failed", "bad request URL" or "not a look-up answer".
const char* LookupResultText(int result);

}  // namespace vemo
