#pragma once

#include <string>
#include <string_view>

#include "settings/TickerSettings.h"

namespace vemo {

inline constexpr char SinaBaseUrl[] = "http://hq.sinajs.cn/list=";
inline constexpr char NetEaseBaseUrl[] = "http://api.money.126.net/?";
inline constexpr char TencentBaseUrl[] = "http://qt.gtimg.cn/q=";

// The request URL for a code list and provider.
std::string MakeQuoteUrl(std::string_view codeList, int provider);

// Rebuilds `quoteUrl`, the request URL of the settings' code list and provider; always returns 1.
// Its holder (the refresh thread, or a tool) builds it when the settings change, not per fetch.
int BuildQuoteUrl(const TickerSettings& settings, std::string& quoteUrl);

// Map a provider symbol, in place, back to the user's code. The buffer holds a NUL-terminated
// symbol of at most QuoteTextSize - 1 characters.
void SinaSymbolToCode(char* symbol);
void NetEaseSymbolToCode(char* symbol);
void TencentSymbolToCode(char* symbol);

}  // namespace vemo
