#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace vemo {

inline constexpr int MaxCodes = 30;
inline constexpr std::size_t CodeListSize = 512;
inline constexpr std::size_t ProxyTextSize = 50;

inline constexpr std::int32_t ProviderSina = 2;
inline constexpr std::int32_t ProviderNetEase = 3;
inline constexpr std::int32_t ProviderTencent = 4;

// The service a `provider` value selects: ProviderNetEase, ProviderTencent, or for any other
// value ProviderSina.
constexpr std::int32_t SelectedProvider(std::int32_t provider) {
    return provider == ProviderNetEase || provider == ProviderTencent ? provider : ProviderSina;
}

// Bits of TickerSettings::pageContent.
inline constexpr std::uint32_t showChangePercent = 0x01;
inline constexpr std::uint32_t showChangeAmount = 0x02;
inline constexpr std::uint32_t showName = 0x04;
inline constexpr std::uint32_t showCode = 0x08;
inline constexpr std::uint32_t showRefreshTime = 0x10;
inline constexpr std::uint32_t showHeader = 0x20;
inline constexpr std::uint32_t showPrice = 0x40;
// The bits that each show a column of the table.
inline constexpr std::uint32_t ColumnBits =
    showChangePercent | showChangeAmount | showName | showCode | showPrice;

// Bits of TickerSettings::optionFlags.
inline constexpr std::uint32_t customColors = 0x01;
inline constexpr std::uint32_t alwaysOnTop = 0x02;
inline constexpr std::uint32_t hotKeyHidesTrayIcon = 0x04;
inline constexpr std::uint32_t titleBarOnHover = 0x08;
inline constexpr std::uint32_t hideAtStart = 0x10;
inline constexpr std::uint32_t runAtStartup = 0x20;

// Bits of TickerSettings::proxyMode.
inline constexpr std::int32_t proxyUseServer = 0x01;
inline constexpr std::int32_t proxyWithCredentials = 0x02;
inline constexpr std::int32_t proxyThroughSystem = 0x04;

// Hot-key modifier bits as the settings file stores them (the Windows MOD_* values).
inline constexpr std::int32_t ModAlt = 0x01;
inline constexpr std::int32_t ModControl = 0x02;
inline constexpr std::int32_t ModShift = 0x04;

inline constexpr std::uint32_t DefaultBackgroundColor = 0xE6FFFF;

// The record is stored as three raw byte blocks ("ss", "su", "sp") that follow each other in
// memory, so field order, widths and padding are a file format.
struct TickerSettings {
    // block "ss"
    char codeList[CodeListSize];
    std::int32_t provider;
    std::int32_t refreshSeconds;
    std::int32_t hotKeyModifiers;
    std::int32_t hotKeyVirtualKey;
    // block "su"; colours are 0x00BBGGRR
    std::uint32_t backgroundColor;
    std::uint32_t nameColor;
    std::uint32_t upColor;
    std::uint32_t downColor;
    std::uint32_t headerColor;
    std::uint32_t pageContent;
    std::uint32_t optionFlags;
    // block "sp"
    char proxyServer[ProxyTextSize];
    char proxyUser[ProxyTextSize];
    char proxyPassword[ProxyTextSize];
    char proxyPadding[2];
    std::int32_t proxyMode;
    // separate keys
    std::int32_t fontSize;
    std::int32_t savedVersion;
};

inline constexpr std::size_t SsBlockOffset = 0;
inline constexpr std::size_t SsBlockSize = 528;
inline constexpr std::size_t SuBlockOffset = 528;
inline constexpr std::size_t SuBlockSize = 28;
inline constexpr std::size_t SpBlockOffset = 556;
inline constexpr std::size_t SpBlockSize = 156;

static_assert(std::endian::native == std::endian::little,
              "the settings blocks are the record's little-endian memory image");
static_assert(offsetof(TickerSettings, codeList) == SsBlockOffset);
static_assert(offsetof(TickerSettings, provider) == 512);
static_assert(offsetof(TickerSettings, refreshSeconds) == 516);
static_assert(offsetof(TickerSettings, hotKeyModifiers) == 520);
static_assert(offsetof(TickerSettings, hotKeyVirtualKey) == 524);
static_assert(offsetof(TickerSettings, backgroundColor) == SuBlockOffset);
static_assert(offsetof(TickerSettings, nameColor) == SuBlockOffset + 4);
static_assert(offsetof(TickerSettings, upColor) == SuBlockOffset + 8);
static_assert(offsetof(TickerSettings, downColor) == SuBlockOffset + 12);
static_assert(offsetof(TickerSettings, headerColor) == SuBlockOffset + 16);
static_assert(offsetof(TickerSettings, pageContent) == SuBlockOffset + 20);
static_assert(offsetof(TickerSettings, optionFlags) == SuBlockOffset + 24);
static_assert(offsetof(TickerSettings, proxyServer) == SpBlockOffset);
static_assert(offsetof(TickerSettings, proxyUser) == SpBlockOffset + 50);
static_assert(offsetof(TickerSettings, proxyPassword) == SpBlockOffset + 100);
static_assert(offsetof(TickerSettings, proxyPadding) == SpBlockOffset + 150);
static_assert(offsetof(TickerSettings, proxyMode) == SpBlockOffset + 152);
static_assert(SpBlockOffset + SpBlockSize == offsetof(TickerSettings, fontSize));
static_assert(offsetof(TickerSettings, savedVersion) == offsetof(TickerSettings, fontSize) + 4);
static_assert(sizeof(TickerSettings) == 720);

struct WindowRect {
    std::int32_t left;
    std::int32_t top;
    std::int32_t right;
    std::int32_t bottom;
};

struct WindowState {
    std::int32_t transparent;
    WindowRect windowRect;
};

inline constexpr std::size_t WindowStateSize = 20;
static_assert(sizeof(WindowState) == WindowStateSize);
static_assert(offsetof(WindowState, windowRect) == 4);

// The text of a fixed-size text field (of this record, a quote record, ...), which may fill the
// field to its last byte without a terminator.
template <std::size_t N>
std::string FieldText(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

// The defaults of every field: ",1A0001,399001", Sina, no automatic refresh, Alt+S, the built-in
// colours, pageContent 0x75, optionFlags 0x0A, no proxy, fontSize 1, savedVersion 0.
TickerSettings DefaultTickerSettings();

}  // namespace vemo
