#include "options/OptionsState.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "settings/HotKeyFlags.h"
#include "tests/support/TestFiles.h"

namespace vemo {
namespace {

// The pages as they open on the default record, with the proxy on and credentials stored.
struct Pages {
    TickerSettings record = DefaultTickerSettings();
    DisplayPageState display;
    ProxyPageState proxy;
    CodesPageState codes;

    Pages() {
        std::strcpy(record.proxyServer, "proxy.example:3128");
        std::strcpy(record.proxyUser, "li");
        std::strcpy(record.proxyPassword, "secret");
        record.proxyMode = proxyUseServer | proxyWithCredentials;
        display = DisplayStateFrom(record);
        proxy = ProxyStateFrom(record);
        codes = CodesStateFrom(record);
    }

    // Runs the OK step on a copy; returns the message (empty when accepted).
    std::string Ok(TickerSettings& out) const {
        out = record;
        return ValidateAndStore(display, proxy, codes, out);
    }
    TickerSettings Accepted() const {
        TickerSettings out{};
        const std::string message = Ok(out);
        EXPECT_EQ(message, "");
        return out;
    }
};

bool SameBytes(const TickerSettings& a, const TickerSettings& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(ValidateAndStoreTest, UnchangedPagesGiveBackTheRecord) {
    Pages pages;
    EXPECT_TRUE(SameBytes(pages.Accepted(), pages.record));
}

TEST(ValidateAndStoreTest, EachBoxSetsItsOwnBit) {
    struct Box {
        bool DisplayPageState::*box;
        std::uint32_t TickerSettings::*field;
        std::uint32_t bit;
    };
    const Box boxes[] = {
        {&DisplayPageState::customColors, &TickerSettings::optionFlags, customColors},
        {&DisplayPageState::hotKeyHidesTrayIcon, &TickerSettings::optionFlags, hotKeyHidesTrayIcon},
        {&DisplayPageState::titleBarOnHover, &TickerSettings::optionFlags, titleBarOnHover},
        {&DisplayPageState::alwaysOnTop, &TickerSettings::optionFlags, alwaysOnTop},
        {&DisplayPageState::hideAtStart, &TickerSettings::optionFlags, hideAtStart},
        {&DisplayPageState::runAtStartup, &TickerSettings::optionFlags, runAtStartup},
        {&DisplayPageState::showRefreshTime, &TickerSettings::pageContent, showRefreshTime},
        {&DisplayPageState::showHeader, &TickerSettings::pageContent, showHeader},
        {&DisplayPageState::showChangeAmount, &TickerSettings::pageContent, showChangeAmount},
        {&DisplayPageState::showChangePercent, &TickerSettings::pageContent, showChangePercent},
        {&DisplayPageState::showCode, &TickerSettings::pageContent, showCode},
        {&DisplayPageState::showName, &TickerSettings::pageContent, showName},
        {&DisplayPageState::showPrice, &TickerSettings::pageContent, showPrice},
    };
    for (const Box& b : boxes) {
        Pages pages;
        pages.display = DisplayPageState{};
        pages.display.showPrice = true;  // a column, so the names are not forced in
        pages.display.*b.box = true;
        const TickerSettings out = pages.Accepted();
        const std::uint32_t expectedContent =
            showPrice | (b.field == &TickerSettings::pageContent ? b.bit : 0u);
        const std::uint32_t expectedFlags = b.field == &TickerSettings::optionFlags ? b.bit : 0u;
        EXPECT_EQ(out.pageContent, expectedContent) << b.bit;
        EXPECT_EQ(out.optionFlags, expectedFlags) << b.bit;
    }
}

TEST(ValidateAndStoreTest, NoColumnTickedKeepsTheNamesAndTheOtherRows) {
    Pages pages;
    pages.display = DisplayPageState{};
    pages.display.showRefreshTime = true;
    pages.display.showHeader = true;
    EXPECT_EQ(pages.Accepted().pageContent, showName | showRefreshTime | showHeader);

    // Each single column is enough by itself.
    pages.display.showChangePercent = true;
    EXPECT_EQ(pages.Accepted().pageContent, showChangePercent | showRefreshTime | showHeader);
}

TEST(ValidateAndStoreTest, ColoursAndFontSizeAreStoredWhateverTheCustomColoursBox) {
    Pages pages;
    pages.display.customColors = false;
    pages.display.backgroundColor = 0x101010;
    pages.display.upColor = 0x202020;
    pages.display.downColor = 0x303030;
    pages.display.nameColor = 0x404040;
    pages.display.headerColor = 0x505050;
    pages.display.fontSizeIndex = 4;
    const TickerSettings out = pages.Accepted();
    EXPECT_EQ(out.backgroundColor, 0x101010u);
    EXPECT_EQ(out.upColor, 0x202020u);
    EXPECT_EQ(out.downColor, 0x303030u);
    EXPECT_EQ(out.nameColor, 0x404040u);
    EXPECT_EQ(out.headerColor, 0x505050u);
    EXPECT_EQ(out.optionFlags & customColors, 0u);
    EXPECT_EQ(out.fontSize, 4);

    // Without a selection the stored size stays.
    pages.display.fontSizeIndex = -1;
    EXPECT_EQ(pages.Accepted().fontSize, pages.record.fontSize);
}

TEST(ValidateAndStoreTest, ProxyModesAndWhatTheyKeep) {
    Pages pages;
    // Credentials on, the password field left empty: the stored password stays.
    pages.proxy.address = "  cache.local\t";
    pages.proxy.port = " 8080 ";
    pages.proxy.user = " DOMAIN\\li ";
    pages.proxy.password = "   ";
    TickerSettings out = pages.Accepted();
    EXPECT_EQ(out.proxyMode, 3);
    EXPECT_STREQ(out.proxyServer, "cache.local:8080");
    EXPECT_STREQ(out.proxyUser, "DOMAIN\\li");
    EXPECT_STREQ(out.proxyPassword, "secret");
    pages.proxy.password = "new";
    EXPECT_STREQ(pages.Accepted().proxyPassword, "new");

    // Without credentials the user and password stay as they were.
    pages.proxy.credentials = false;
    pages.proxy.user.clear();
    out = pages.Accepted();
    EXPECT_EQ(out.proxyMode, 1);
    EXPECT_STREQ(out.proxyUser, "li");

    // Proxy off (or through the system): every text stays for the next time it is on.
    pages.proxy.useProxy = false;
    pages.proxy.address.clear();
    pages.proxy.port.clear();
    out = pages.Accepted();
    EXPECT_EQ(out.proxyMode, 0);
    EXPECT_STREQ(out.proxyServer, "proxy.example:3128");
    EXPECT_STREQ(out.proxyUser, "li");
    EXPECT_STREQ(out.proxyPassword, "secret");
    pages.proxy.throughSystem = true;
    EXPECT_EQ(pages.Accepted().proxyMode, 4);
}

TEST(ValidateAndStoreTest, ProxyMessages) {
    TickerSettings out{};
    Pages pages;
    pages.proxy.address = "   ";
    EXPECT_EQ(pages.Ok(out), MsgProxyInput);
    pages.proxy.address = "host";
    pages.proxy.port = "\t";
    EXPECT_EQ(pages.Ok(out), MsgProxyInput);
    pages.proxy.port = "80";
    pages.proxy.user = "  ";
    EXPECT_EQ(pages.Ok(out), MsgUserName);
    pages.proxy.user = "li";

    // A port is a whole number from 1 to 65535; blanks around it do not count.
    for (const char* port : {"abc99999", "0", "65536", "99999", "80a", "+80", "-1", "8 0", "1e3",
                             "123456", "0000099999"}) {
        SCOPED_TRACE(port);
        pages.proxy.port = port;
        EXPECT_EQ(pages.Ok(out), MsgProxyInput);
    }
    for (const char* port : {"1", "65535", " 8080\t", "0000080"}) {
        SCOPED_TRACE(port);
        pages.proxy.port = port;
        EXPECT_EQ(pages.Ok(out), "");
    }
    // An address with blanks or control characters inside.
    for (const char* address : {"proxy example", "proxy\texample", "proxy\x7f", "a\x01b"}) {
        SCOPED_TRACE(address);
        pages.proxy.address = address;
        EXPECT_EQ(pages.Ok(out), MsgProxyInput);
    }
    pages.proxy.address = "  proxy.example ";
    pages.proxy.port = "3128";
    EXPECT_STREQ(pages.Accepted().proxyServer, "proxy.example:3128");

    // Texts the record's 50-byte fields cannot hold are refused, not cut.
    pages.proxy.address = std::string(44, 'a');
    pages.proxy.port = "12345";  // 44 + ":" + 5 = 50 bytes: one too many
    EXPECT_EQ(pages.Ok(out), MsgProxyInput);
    pages.proxy.address = std::string(43, 'a');
    EXPECT_EQ(pages.Ok(out), "");
    pages.proxy.user = std::string(50, 'u');
    EXPECT_EQ(pages.Ok(out), MsgUserName);
    pages.proxy.user = "li";
    pages.proxy.password = std::string(50, 'p');
    EXPECT_EQ(pages.Ok(out), MsgPassword);
}

TEST(ValidateAndStoreTest, CodeList) {
    Pages pages;
    pages.codes.codes.clear();
    EXPECT_STREQ(pages.Accepted().codeList, ",");

    pages.codes.codes = {"600000", "1a0001", "399001"};
    EXPECT_STREQ(pages.Accepted().codeList, ",600000,1a0001,399001");

    // Entries read from the settings are not checked when listed, so OK checks each one.
    TickerSettings out{};
    pages.codes.codes = {"600000", "60000", "6000000"};
    EXPECT_EQ(pages.Ok(out), std::string("60000") + MsgBadCodeSuffix);
    pages.codes.codes = {"600000", "6000000"};
    EXPECT_EQ(pages.Ok(out), std::string("6000000") + MsgBadCodeSuffix);
    // The message shows a GBK entry as text ("浦发" is 4 bytes).
    pages.codes.codes = {"\xC6\xD6\xB7\xA2"};
    EXPECT_EQ(pages.Ok(out), std::string("浦发") + MsgBadCodeSuffix);

    // More than 30 entries, read from the settings, pass as long as each has 6 characters.
    pages.codes.codes.clear();
    std::string expected;
    for (int i = 0; i < 73; ++i) {
        pages.codes.codes.push_back(std::to_string(600000 + i));
        expected += "," + std::to_string(600000 + i);
    }
    EXPECT_STREQ(pages.Accepted().codeList, expected.c_str());
    pages.codes.codes.push_back("600999");  // 74 codes no longer fit the field
    EXPECT_EQ(pages.Ok(out), MsgListFull);
}

TEST(ValidateAndStoreTest, SourceRefreshAndHotKey) {
    Pages pages;
    pages.codes.provider = ProviderNetEase;
    pages.codes.sliderPosition = 30;
    pages.codes.hotKeyVirtualKey = 0x74;  // F5
    pages.codes.hotKeyFlags = HotKeyFlagControl | HotKeyFlagShift | HotKeyFlagAlt | HotKeyFlagExt;
    TickerSettings out = pages.Accepted();
    EXPECT_EQ(out.provider, ProviderNetEase);
    EXPECT_EQ(out.refreshSeconds, 300);
    EXPECT_EQ(out.hotKeyModifiers, ModControl | ModShift | ModAlt);
    EXPECT_EQ(out.hotKeyVirtualKey, 0x74);

    pages.codes.provider = ProviderSina;
    pages.codes.sliderPosition = 0;
    // The extended-key flag alone passes the check and is stored as no modifier.
    pages.codes.hotKeyVirtualKey = 0x24;  // Home
    pages.codes.hotKeyFlags = HotKeyFlagExt;
    out = pages.Accepted();
    EXPECT_EQ(out.provider, ProviderSina);
    EXPECT_EQ(out.refreshSeconds, 0);
    EXPECT_EQ(out.hotKeyModifiers, 0);
    EXPECT_EQ(out.hotKeyVirtualKey, 0x24);
    pages.codes.provider = ProviderTencent;
    EXPECT_EQ(pages.Accepted().provider, ProviderTencent);

    // A cleared control, or a key without any flag, is too simple.
    pages.codes.hotKeyVirtualKey = 0;
    pages.codes.hotKeyFlags = 0;
    EXPECT_EQ(pages.Ok(out), MsgHotKeyTooSimple);
    pages.codes.hotKeyVirtualKey = 0x53;
    EXPECT_EQ(pages.Ok(out), MsgHotKeyTooSimple);
}

TEST(ValidateAndStoreTest, TheFirstFaultWinsAndARefusalWritesNothing) {
    Pages pages;
    pages.display.fontSizeIndex = 3;
    pages.display.alwaysOnTop = false;
    pages.proxy.port = "";
    pages.codes.codes = {"60000"};
    pages.codes.hotKeyFlags = 0;

    TickerSettings out{};
    EXPECT_EQ(pages.Ok(out), MsgProxyInput);
    EXPECT_TRUE(SameBytes(out, pages.record));
    pages.proxy.port = "3128";
    pages.proxy.user = "";
    EXPECT_EQ(pages.Ok(out), MsgUserName);
    pages.proxy.user = "li";
    EXPECT_EQ(pages.Ok(out), std::string("60000") + MsgBadCodeSuffix);
    pages.codes.codes = {"600000"};
    EXPECT_EQ(pages.Ok(out), MsgHotKeyTooSimple);
    EXPECT_TRUE(SameBytes(out, pages.record));
}

TEST(ValidateAndStoreTest, SavesOnlyWhatPassed) {
    test::TempDir dir;
    const SettingsFiles files{dir.path() / "vemo.ini", dir.path() / "store" / "registry"};
    Pages pages;
    pages.codes.codes = {"60000"};
    TickerSettings out = pages.record;
    std::string problem;
    EXPECT_NE(ValidateStoreAndSave(pages.display, pages.proxy, pages.codes, out, files, problem),
              "");
    EXPECT_FALSE(std::filesystem::exists(files.iniFile));
    EXPECT_FALSE(std::filesystem::exists(files.appStore));

    pages.codes.codes = {"000002", "600000"};
    EXPECT_EQ(ValidateStoreAndSave(pages.display, pages.proxy, pages.codes, out, files, problem),
              "");
    EXPECT_EQ(problem, "");
    TickerSettings loaded{};
    EXPECT_EQ(LoadSettings(loaded, files), 1);
    EXPECT_STREQ(loaded.codeList, ",000002,600000");
    char stored[64] = {};
    EXPECT_EQ(ReadAppValue(files.appStore, "VemoCode", stored, sizeof stored), 0);
    EXPECT_STREQ(stored, ",000002,600000");

    // A file that may not be written: the record still takes the change, and the save says why.
    ::chmod(files.iniFile.c_str(), 0444);
    pages.codes.codes = {"000001"};
    EXPECT_EQ(ValidateStoreAndSave(pages.display, pages.proxy, pages.codes, out, files, problem),
              "");
    EXPECT_STREQ(out.codeList, ",000001");
    EXPECT_EQ(problem, "设置无法保存到 " + files.iniFile.string() + ": 只读文件");
    EXPECT_EQ(LoadSettings(loaded, files), 1);
    EXPECT_STREQ(loaded.codeList, ",000002,600000");
}

TEST(PageOpeningTest, ProxyFieldsAndBoxes) {
    TickerSettings s = DefaultTickerSettings();
    std::strcpy(s.proxyServer, "proxy.example:8080");
    s.proxyMode = 3;
    ProxyPageState p = ProxyStateFrom(s);
    EXPECT_TRUE(p.useProxy && p.credentials && !p.throughSystem);
    EXPECT_EQ(p.address, "proxy.example");
    EXPECT_EQ(p.port, "8080");

    std::strcpy(s.proxyServer, "[::1]:8080:x");  // split at the first colon
    s.proxyMode = 4;
    p = ProxyStateFrom(s);
    EXPECT_TRUE(!p.useProxy && !p.credentials && p.throughSystem);
    EXPECT_EQ(p.address, "[");
    EXPECT_EQ(p.port, ":1]:8080:x");

    std::strcpy(s.proxyServer, "8080");  // no colon: all of it is the port
    s.proxyMode = 2;                     // credentials without the proxy: nothing ticked
    p = ProxyStateFrom(s);
    EXPECT_TRUE(!p.useProxy && !p.credentials && !p.throughSystem);
    EXPECT_EQ(p.address, "");
    EXPECT_EQ(p.port, "8080");
}

TEST(PageOpeningTest, CodesSliderSourceAndHotKey) {
    EXPECT_EQ(SliderPositionFor(0), 0);
    EXPECT_EQ(SliderPositionFor(10), 1);
    EXPECT_EQ(SliderPositionFor(300), 30);
    EXPECT_EQ(SliderPositionFor(45), 0);
    EXPECT_EQ(SliderPositionFor(310), 0);
    EXPECT_EQ(SliderPositionFor(-10), 0);
    EXPECT_EQ(RefreshRateLabel(0), "刷新频率： 不刷新");
    EXPECT_EQ(RefreshRateLabel(30), "刷新频率： 300 秒");

    TickerSettings s = DefaultTickerSettings();
    CodesPageState c = CodesStateFrom(s);
    EXPECT_EQ(c.provider, ProviderSina);
    EXPECT_EQ(c.hotKeyVirtualKey, 0x53);
    EXPECT_EQ(c.hotKeyFlags, HotKeyFlagAlt);
    for (const int provider : {0, 1, 2, 5, -3}) {
        s.provider = provider;
        EXPECT_EQ(CodesStateFrom(s).provider, ProviderSina) << provider;
    }
    s.provider = 4;
    EXPECT_EQ(CodesStateFrom(s).provider, ProviderTencent);
    s.provider = 3;
    s.hotKeyModifiers = ModControl | ModShift;
    s.hotKeyVirtualKey = 0x1274;  // only the low 8 bits reach the control
    c = CodesStateFrom(s);
    EXPECT_EQ(c.provider, ProviderNetEase);
    EXPECT_EQ(c.hotKeyFlags, HotKeyFlagControl | HotKeyFlagShift);
    EXPECT_EQ(c.hotKeyVirtualKey, 0x74);
}

TEST(CheckCodeToAddTest, LimitLengthAndDuplicates) {
    std::vector<std::string> list = {"1A0001", "399001"};
    EXPECT_EQ(CheckCodeToAdd(list, "600000"), "");
    EXPECT_EQ(CheckCodeToAdd(list, "60000"), MsgEnterSixCharacters);
    EXPECT_EQ(CheckCodeToAdd(list, "6000000"), MsgEnterSixCharacters);
    EXPECT_EQ(CheckCodeToAdd(list, "1a0001"), MsgAlreadyAdded);
    // An entry that merely begins with the code counts as the same (a stored 7-character one).
    list.push_back("6000001");
    EXPECT_EQ(CheckCodeToAdd(list, "600000"), MsgAlreadyAdded);
    list = {"1A0001"};
    EXPECT_EQ(CheckCodeToAdd(list, "1b0009"), "");
    EXPECT_EQ(CheckCodeToAdd(list, "1A0001"), MsgAlreadyAdded);

    // Only a code's form passes: six digits or an index code; the form comes before a
    // duplicate, as the length did.
    for (const char* bad : {"maotai", "MAOTAI", "60000a", "1C0001", "1A1001", "1AA001", "A10001",
                            "1A000x", "60 000", "６００００", "\xC6\xD6\xB7\xA2\xD2\xF8", "1a0001 "}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(CheckCodeToAdd(list, bad), MsgEnterSixCharacters);
    }
    for (const char* good : {"999999", "000001", "1A0009", "1b0000"}) {
        SCOPED_TRACE(good);
        EXPECT_EQ(CheckCodeToAdd(list, good), "");
    }

    list.assign(29, "xxxxxx");
    EXPECT_EQ(CheckCodeToAdd(list, "600000"), "");
    list.push_back("yyyyyy");
    EXPECT_EQ(CheckCodeToAdd(list, "600000"), MsgListFull);
    list.push_back("zzzzzz");  // a longer stored list: still full, before any other check
    EXPECT_EQ(CheckCodeToAdd(list, "1"), MsgListFull);
}

}  // namespace
}  // namespace vemo
