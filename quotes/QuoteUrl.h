#pragma once

#include <string>
#include <string_view>

#include "settings/TickerSettings.h"

namespace vemo {

inline constexpr char SinaBaseUrl[] = "http://hq.sinajs.cn/list=";
inline constexpr char NetEaseBaseUrl[] = "http://api.money.126.net/?";
inline constexpr char TencentBaseUrl[] = "http://qt.gtimg.cn/q=";

// The request URL of the current code list and provider. Only the refresh thread (or a
// single-threaded tool) builds it and reads it.
extern std::string QuoteUrl;

// The request URL for a code list and provider, without touching QuoteUrl.
std::string MakeQuoteUrl(std::string_view codeList, int provider);

// Rebuilds QuoteUrl from the settings' code list and provider; always returns 1.
int BuildQuoteUrl(const TickerSettings& settings);

// Map a provider symbol, in place, back to the user's code. The buffer holds a NUL-terminated
// symbol of at most QuoteTextSize - 1 characters.
void SinaSymbolToCode(char* symbol);
void NetEaseSymbolToCode(char* symbol);
void TencentSymbolToCode(char* symbol);

}  // namespace vemo
