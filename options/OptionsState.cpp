#include "options/OptionsState.h"

#include <algorithm>
#include <cstring>

#include "quotes/Gbk.h"
#include "settings/CodeList.h"
#include "settings/HotKeyFlags.h"

namespace vemo {

namespace {

// The bits of one field that the display page's boxes stand for; 0 when two boxes share a bit.
constexpr std::uint32_t BoxBits(std::uint32_t TickerSettings::*field) {
    std::uint32_t bits = 0;
    for (const DisplayBox& box : DisplayBoxes) {
        if (box.field == field) {
            if ((bits & box.bit) != 0) {
                return 0;
            }
            bits |= box.bit;
        }
    }
    return bits;
}
static_assert(BoxBits(&TickerSettings::pageContent) == (ColumnBits | showHeader | showRefreshTime));
static_assert(BoxBits(&TickerSettings::optionFlags) ==
              (customColors | alwaysOnTop | hotKeyHidesTrayIcon | titleBarOnHover | hideAtStart |
               runAtStartup));

// Copies a text into a fixed field with its terminator; false when it does not fit.
template <std::size_t N>
bool StoreText(char (&field)[N], std::string_view text) {
    if (text.size() >= N) {
        return false;
    }
    std::memset(field, 0, N);
    if (!text.empty()) {
        std::memcpy(field, text.data(), text.size());
    }
    return true;
}

// A TCP port as typed: a whole number from 1 to 65535, digits only.
bool IsPortNumber(std::string_view port) {
    if (port.empty()) {
        return false;
    }
    unsigned value = 0;
    for (const char c : port) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > 65535) {
            return false;
        }
    }
    return value >= 1 && value <= 65535;
}

// No host name holds blanks or control characters.
bool IsHostText(std::string_view address) {
    for (const char c : address) {
        const auto b = static_cast<unsigned char>(c);
        if (b <= 0x20 || b == 0x7F) {
            return false;
        }
    }
    return !address.empty();
}

char FoldAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Whether `entry` begins with `prefix`, ASCII letters compared without regard to case. The
// second byte of a GBK character can look like a letter, so both bytes of a double-byte
// character are compared exactly.
bool BeginsWithIgnoringCase(std::string_view entry, std::string_view prefix) {
    if (entry.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (IsGbkLeadByte(static_cast<unsigned char>(prefix[i])) && i + 1 < prefix.size()) {
            if (entry[i] != prefix[i] || entry[i + 1] != prefix[i + 1]) {
                return false;
            }
            ++i;
            continue;
        }
        if (FoldAscii(entry[i]) != FoldAscii(prefix[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string_view TrimEntry(std::string_view text) {
    constexpr std::string_view blanks = " \t\n\v\f\r";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}


DisplayPageState DisplayStateFrom(const TickerSettings& s) {
    DisplayPageState d;
    for (const DisplayBox& box : DisplayBoxes) {
        d.*box.state = (s.*box.field & box.bit) != 0;
    }
    d.upColor = s.upColor;
    d.downColor = s.downColor;
    d.nameColor = s.nameColor;
    d.backgroundColor = s.backgroundColor;
    d.headerColor = s.headerColor;
    d.fontSizeIndex = s.fontSize;
    return d;
}

ProxyPageState ProxyStateFrom(const TickerSettings& s) {
    ProxyPageState p;
    if ((s.proxyMode & proxyUseServer) != 0) {
        p.useProxy = true;
        p.credentials = (s.proxyMode & proxyWithCredentials) != 0;
    } else if ((s.proxyMode & proxyThroughSystem) != 0) {
        p.throughSystem = true;
    }
    const std::string server = FieldText(s.proxyServer);
    if (const std::size_t colon = server.find(':'); colon != std::string::npos) {
        p.address = server.substr(0, colon);
        p.port = server.substr(colon + 1);
    } else {
        p.port = server;
    }
    p.user = FieldText(s.proxyUser);
    p.password = FieldText(s.proxyPassword);
    return p;
}

CodesPageState CodesStateFrom(const TickerSettings& s) {
    CodesPageState c;
    c.codes = SplitCodeList(FieldText(s.codeList));
    c.provider = SelectedProvider(s.provider);
    c.sliderPosition = SliderPositionFor(s.refreshSeconds);
    c.hotKeyVirtualKey = s.hotKeyVirtualKey & 0xFF;
    c.hotKeyFlags = ModifiersToHotKeyFlags(s.hotKeyModifiers);
    return c;
}

int SliderPositionFor(std::int32_t refreshSeconds) {
    if (refreshSeconds < 0 || refreshSeconds > MaxSliderPosition * 10 || refreshSeconds % 10 != 0) {
        return 0;
    }
    return refreshSeconds / 10;
}

std::string RefreshRateLabel(int position) {
    if (position == 0) {
        return "刷新频率： 不刷新";
    }
    return "刷新频率： " + std::to_string(position * 10) + " 秒";
}

bool IsListableCode(std::string_view code) {
    const auto digits = [](std::string_view text) {
        return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (code.size() != CodeLength) {
        return false;
    }
    if (digits(code)) {
        return true;
    }
    // The index codes: 1A000n and 1B000n.
    const char letter = FoldAscii(code[1]);
    return code[0] == '1' && (letter == 'A' || letter == 'B') && code.substr(2, 3) == "000" &&
           digits(code.substr(5));
}

std::string UpperCaseCode(std::string_view code) {
    std::string upper(code);
    std::transform(upper.begin(), upper.end(), upper.begin(), FoldAscii);
    return upper;
}

std::string CheckCodeToAdd(const std::vector<std::string>& list, std::string_view code) {
    if (list.size() >= static_cast<std::size_t>(MaxCodes)) {
        return MsgListFull;
    }
    if (!IsListableCode(code)) {
        return MsgEnterSixCharacters;
    }
    for (const std::string& entry : list) {
        if (BeginsWithIgnoringCase(entry, code)) {
            return MsgAlreadyAdded;
        }
    }
    return {};
}

std::string ValidateAndStore(const DisplayPageState& display, const ProxyPageState& proxy,
                             const CodesPageState& codes, TickerSettings& settings) {
    // Everything is written into a copy first, so a refused OK leaves the record as it was.
    TickerSettings s = settings;

    // Boxes into bits; a table without any column would be empty, so it keeps the names.
    s.optionFlags = 0;
    s.pageContent = 0;
    for (const DisplayBox& box : DisplayBoxes) {
        if (display.*box.state) {
            s.*box.field |= box.bit;
        }
    }
    if ((s.pageContent & ColumnBits) == 0) {
        s.pageContent |= showName;
    }
    // Without a selection the size stays as it was rather than becoming an invalid index.
    if (display.fontSizeIndex >= 0 && display.fontSizeIndex < FontSizeCount) {
        s.fontSize = display.fontSizeIndex;
    }

    // Proxy. The texts stay stored while the proxy is off, for the next time it is on.
    std::int32_t mode = 0;
    if (proxy.useProxy) {
        mode = proxyUseServer;
        const std::string_view address = TrimEntry(proxy.address);
        const std::string_view port = TrimEntry(proxy.port);
        std::string server(address);
        server += ':';
        server += port;
        if (!IsHostText(address) || !IsPortNumber(port) || !StoreText(s.proxyServer, server)) {
            return MsgProxyInput;
        }
        if (proxy.credentials) {
            mode |= proxyWithCredentials;
            const std::string_view user = TrimEntry(proxy.user);
            const std::string_view password = TrimEntry(proxy.password);
            if (user.empty() || !StoreText(s.proxyUser, user)) {
                return MsgUserName;
            }
            // An empty field keeps the stored password, which the page never shows in clear.
            if (!password.empty() && !StoreText(s.proxyPassword, password)) {
                return MsgPassword;
            }
        }
    } else if (proxy.throughSystem) {
        mode = proxyThroughSystem;
    }
    s.proxyMode = mode;

    s.backgroundColor = display.backgroundColor;
    s.upColor = display.upColor;
    s.downColor = display.downColor;
    s.nameColor = display.nameColor;
    s.headerColor = display.headerColor;

    s.provider = SelectedProvider(codes.provider);

    std::string list;
    for (const std::string& code : codes.codes) {
        if (code.size() != CodeLength) {
            return GbkToUtf8(code) + MsgBadCodeSuffix;
        }
        list += ',';
        list += code;
    }
    if (list.empty()) {
        list.push_back(',');
    }
    // Only a list far beyond what the page admits can be too long for the field.
    if (!StoreText(s.codeList, list)) {
        return MsgListFull;
    }

    s.refreshSeconds = codes.sliderPosition * 10;

    // The extended-key flag counts as a modifier here but is not one: it is not stored.
    if (codes.hotKeyFlags == 0) {
        return MsgHotKeyTooSimple;
    }
    s.hotKeyModifiers = HotKeyFlagsToModifiers(codes.hotKeyFlags);
    s.hotKeyVirtualKey = codes.hotKeyVirtualKey & 0xFFFF;

    settings = s;
    return {};
}

bool StatusCauseRemains(std::string_view message, const DisplayPageState& display,
                        const ProxyPageState& proxy, const CodesPageState& codes,
                        const TickerSettings& settings) {
    if (message.empty()) {
        return false;
    }
    if (message == MsgListFull) {
        return codes.codes.size() >= static_cast<std::size_t>(MaxCodes);
    }
    if (message == MsgListEmpty) {
        return codes.codes.empty();
    }
    if (message == MsgEnterSixCharacters || message == MsgAlreadyAdded) {
        return true;
    }
    TickerSettings scratch = settings;
    return ValidateAndStore(display, proxy, codes, scratch) == message;
}

std::string ValidateStoreAndSave(const DisplayPageState& display, const ProxyPageState& proxy,
                                 const CodesPageState& codes, TickerSettings& settings,
                                 const SettingsFiles& files, std::string& saveProblem) {
    saveProblem.clear();
    std::string message = ValidateAndStore(display, proxy, codes, settings);
    if (message.empty()) {
        SaveSettings(settings, files, saveProblem);
    }
    return message;
}

}  // namespace vemo
