#include "settings/TickerSettings.h"

#include <cstring>

namespace vemo {

TickerSettings DefaultTickerSettings() {
    TickerSettings s;
    std::memset(&s, 0, sizeof s);
    std::strcpy(s.codeList, ",1A0001,399001");
    s.provider = ProviderSina;
    s.refreshSeconds = 0;
    s.hotKeyModifiers = ModAlt;
    s.hotKeyVirtualKey = 0x53;  // S
    s.backgroundColor = DefaultBackgroundColor;
    s.nameColor = 0xFF0000;
    s.upColor = 0x0000FF;
    s.downColor = 0x009900;
    s.headerColor = 0x000000;
    s.pageContent = showChangePercent | showName | showRefreshTime | showHeader | showPrice;
    s.optionFlags = alwaysOnTop | titleBarOnHover;
    s.proxyMode = 0;
    s.fontSize = 1;
    s.savedVersion = 0;
    return s;
}

}  // namespace vemo
