#include "settings/SettingsStore.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <random>

#include "settings/AtomicFile.h"
#include "settings/IniFile.h"
#include "settings/SaveFailure.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TestFiles.h"

namespace vemo {
namespace {

using test::ScopedEnv;
using test::TempDir;

const std::string DefaultSs = "2C3141303030312C333939303031" + std::string(1024 - 28, '0') +
                              "02000000000000000100000053000000" + "17";
const std::string DefaultSu = "FFFFE6000000FF00FF0000000099000000000000750000000A000000FA";
const std::string DefaultSp(314, '0');

::testing::AssertionResult SameRecord(const TickerSettings& a, const TickerSettings& b) {
    const auto* x = reinterpret_cast<const unsigned char*>(&a);
    const auto* y = reinterpret_cast<const unsigned char*>(&b);
    for (std::size_t i = 0; i < sizeof a; ++i) {
        if (x[i] != y[i]) {
            return ::testing::AssertionFailure() << "records differ at byte " << i;
        }
    }
    return ::testing::AssertionSuccess();
}

class SettingsStoreTest : public ::testing::Test {
  protected:
    SettingsStoreTest() {
        std::filesystem::create_directory(program_);
        files_ = SettingsFilesFor(program_);
    }

    std::string Ini() const { return test::ReadBytes(files_.iniFile); }
    // Rewrites the file's text with `edit` applied.
    void EditIni(const std::function<void(std::string&)>& edit) {
        std::string text = Ini();
        edit(text);
        test::WriteBytes(files_.iniFile, text);
    }
    void RemoveKey(const std::string& key) {
        EditIni([&](std::string& text) {
            const std::size_t at = text.find("\n" + key + "=");
            ASSERT_NE(at, std::string::npos) << key;
            text.erase(at + 1, text.find('\n', at + 1) - at);
        });
    }
    void SetKey(const char* key, const char* value) {
        ASSERT_TRUE(WritePrivateProfileStringA("UserSet", key, value, files_.iniFile));
    }
    void StoreCodeList(const std::string& list) {
        ASSERT_EQ(WriteAppValue(files_.appStore, "VemoCode", RegSz, list.data(),
                                static_cast<std::uint32_t>(list.size())),
                  0);
    }
    // The store's code list, checked to be stored without a terminator.
    std::string StoredCodeList() const {
        char buffer[600];
        std::memset(buffer, 0x55, sizeof buffer);
        if (ReadAppValue(files_.appStore, "VemoCode", buffer, sizeof buffer) != 0) {
            return "<absent>";
        }
        const std::string text(buffer);
        std::vector<char> exact(text.size() + 1);
        if (ReadAppValue(files_.appStore, "VemoCode", exact.data(),
                         static_cast<std::uint32_t>(text.size())) != 0) {
            return "<stored with more than its text>";
        }
        return text;
    }

    TempDir dir_;
    ScopedEnv xdg_{"XDG_CONFIG_HOME", (dir_.path() / "config").string()};
    ScopedEnv proxy_{"http_proxy", std::nullopt};
    ScopedEnv proxyUpper_{"HTTP_PROXY", std::nullopt};
    std::filesystem::path program_ = dir_.path() / "program";
    SettingsFiles files_;
};

TEST_F(SettingsStoreTest, FirstStartGivesDefaultsAndWritesThemAll) {
    EXPECT_EQ(files_.appStore, dir_.path() / "config/Quorvane/VemoMonitor/registry");
    TickerSettings loaded;
    std::memset(&loaded, 0x5A, sizeof loaded);
    EXPECT_EQ(LoadSettings(loaded, files_), 0);
    EXPECT_TRUE(SameRecord(loaded, DefaultTickerSettings()));

    WindowState state{1, {0, 0, 0, 0}};
    EXPECT_EQ(LoadWindowState(state, files_), 0);
    EXPECT_EQ(state.transparent, 0);
    EXPECT_EQ(Ini(),
              "[UserSet]\r\nss=" + DefaultSs + "\r\nsu=" + DefaultSu + "\r\nsp=" + DefaultSp +
                  "\r\nfontsize=1\r\nversion=43\r\n[WinStat]\r\nwstat=" + std::string(42, '0') +
                  "\r\n");
    EXPECT_EQ(test::ModeOf(files_.iniFile), 0600u);
    EXPECT_EQ(StoredCodeList(), ",1A0001,399001");
    EXPECT_EQ(test::Entries(program_), std::vector<std::string>{"vemo.ini"});

    TickerSettings again;
    EXPECT_EQ(LoadSettings(again, files_), 1);
    EXPECT_EQ(again.savedVersion, 43);
    again.savedVersion = 0;
    EXPECT_TRUE(SameRecord(again, loaded));
    EXPECT_EQ(LoadWindowState(state, files_), 1);
}

TEST_F(SettingsStoreTest, MissingCodeBlockIsRecoveredFromTheStoreAlone) {
    TickerSettings saved = DefaultTickerSettings();
    std::strcpy(saved.codeList, ",600000,000001");
    saved.provider = ProviderNetEase;
    saved.refreshSeconds = 30;
    saved.hotKeyModifiers = ModControl | ModShift;
    SaveSettings(saved, files_);
    RemoveKey("ss");
    StoreCodeList(",399001");

    TickerSettings loaded;
    EXPECT_EQ(LoadSettings(loaded, files_), 0);
    EXPECT_STREQ(loaded.codeList, ",399001");
    EXPECT_EQ(loaded.provider, ProviderSina);
    EXPECT_EQ(loaded.refreshSeconds, 0);
    EXPECT_EQ(loaded.hotKeyModifiers, ModAlt);
    EXPECT_EQ(loaded.hotKeyVirtualKey, 0x53);
    EXPECT_NE(Ini().find("ss=2C333939303031000000"), std::string::npos);

    // Without a stored copy the default list stays.
    std::filesystem::remove(files_.appStore);
    RemoveKey("ss");
    EXPECT_EQ(LoadSettings(loaded, files_), 0);
    EXPECT_STREQ(loaded.codeList, ",1A0001,399001");
}

TEST_F(SettingsStoreTest, LongestCodeListIsStoredWhole) {
    TickerSettings saved = DefaultTickerSettings();
    std::string list;
    for (int i = 0; i < 73; ++i) {
        list += "," + std::to_string(600000 + i);
    }
    ASSERT_EQ(list.size(), 511u);
    std::memcpy(saved.codeList, list.c_str(), list.size() + 1);
    SaveSettings(saved, files_);
    EXPECT_EQ(StoredCodeList(), list);

    TickerSettings loaded;
    EXPECT_EQ(LoadSettings(loaded, files_), 1);
    EXPECT_EQ(loaded.codeList, list);
    RemoveKey("ss");
    EXPECT_EQ(LoadSettings(loaded, files_), 0);
    EXPECT_EQ(loaded.codeList, list);
}

TEST_F(SettingsStoreTest, OneChangedDigitInColoursGivesDefaultColoursOnly) {
    TickerSettings saved = DefaultTickerSettings();
    std::strcpy(saved.codeList, ",600000");
    saved.upColor = 0x123456;
    saved.optionFlags = customColors | hideAtStart;
    SaveSettings(saved, files_);
    EditIni([](std::string& text) {
        const std::size_t at = text.find("su=") + 3 + 17;
        text[at] = text[at] == '5' ? '6' : '5';
    });
    TickerSettings loaded;
    EXPECT_EQ(LoadSettings(loaded, files_), 0);
    EXPECT_EQ(loaded.upColor, 0x0000FFu);
    EXPECT_EQ(loaded.optionFlags, alwaysOnTop | titleBarOnHover);
    EXPECT_STREQ(loaded.codeList, ",600000");
    EXPECT_NE(Ini().find("su=" + DefaultSu + "\r\n"), std::string::npos);
}

TEST_F(SettingsStoreTest, FontSizeOutOfRangeLoadsAsOne) {
    SaveSettings(DefaultTickerSettings(), files_);
    const std::pair<const char*, int> cases[] = {{"9", 1}, {"-1", 1}, {"5", 1}, {"4", 4}, {"0", 0}};
    for (const auto& [text, expected] : cases) {
        SetKey("fontsize", text);
        TickerSettings loaded;
        EXPECT_EQ(LoadSettings(loaded, files_), 1);
        EXPECT_EQ(loaded.fontSize, expected) << text;
    }
}

TEST_F(SettingsStoreTest, OlderVersionsGainThePriceColumn) {
    TickerSettings saved = DefaultTickerSettings();
    saved.pageContent = showName | showHeader;
    SaveSettings(saved, files_);
    TickerSettings loaded;
    EXPECT_EQ(LoadSettings(loaded, files_), 1);
    EXPECT_EQ(loaded.pageContent, showName | showHeader);

    SetKey("version", "42");
    LoadSettings(loaded, files_);
    EXPECT_EQ(loaded.pageContent, showName | showHeader | showPrice);
    RemoveKey("version");
    EXPECT_EQ(LoadSettings(loaded, files_), 1);
    EXPECT_EQ(loaded.savedVersion, 0);
    EXPECT_EQ(loaded.pageContent, showName | showHeader | showPrice);
    SaveSettings(loaded, files_);
    EXPECT_NE(Ini().find("\nversion=43\r\n"), std::string::npos);
}

TEST_F(SettingsStoreTest, ProxyIsImportedFromTheEnvironmentWhenTheFileHasNone) {
    struct Case {
        std::optional<std::string> lower, upper;
        const char* server;
    };
    const Case cases[] = {
        {"http://user:pw@proxy.example:8080/", {}, "proxy.example:8080"},
        // An '@' inside the credentials: the host comes after the last one.
        {"http://me@corp:pw@proxy.example:8080", {}, "proxy.example:8080"},
        {"proxy:3128", {}, "proxy:3128"},
        {"", {}, ""},
        {{}, {}, ""},
        {{}, "https://10.0.0.1:3128/some/path?x=1", "10.0.0.1:3128"},
        {"http://" + std::string(45, 'h') + ".example:8080", {}, ""},
        // The field holds 49 characters and the terminator.
        {"http://" + std::string(44, 'h') + ":3128", {}, nullptr},
        {"http://" + std::string(45, 'h') + ":3128", {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lower.value_or("(unset)") + " / " + c.upper.value_or("(unset)"));
        ScopedEnv lower("http_proxy", c.lower);
        ScopedEnv upper("HTTP_PROXY", c.upper);
        std::filesystem::remove(files_.iniFile);
        TickerSettings loaded;
        EXPECT_EQ(LoadSettings(loaded, files_), 0);
        const std::string server = c.server != nullptr ? c.server : c.lower->substr(7);
        EXPECT_EQ(std::string(loaded.proxyServer, strnlen(loaded.proxyServer, ProxyTextSize)),
                  server);
        EXPECT_EQ(loaded.proxyMode, server.empty() ? 0 : proxyUseServer);
    }
    // Once the file holds the proxy block, the environment no longer counts.
    ScopedEnv lower("http_proxy", "other:1");
    TickerSettings loaded;
    EXPECT_EQ(LoadSettings(loaded, files_), 1);
    EXPECT_STREQ(loaded.proxyServer, "");
    EXPECT_EQ(loaded.proxyMode, 0);
}

TEST_F(SettingsStoreTest, TextsWithoutTerminatorAreCutAtTheirLastByte) {
    TickerSettings saved = DefaultTickerSettings();
    std::memset(saved.codeList, 'A', sizeof saved.codeList);
    std::memset(saved.proxyServer, 's', sizeof saved.proxyServer);
    std::memset(saved.proxyUser, 'u', sizeof saved.proxyUser);
    std::memset(saved.proxyPassword, 'p', sizeof saved.proxyPassword);
    saved.proxyPadding[0] = 7;
    saved.proxyMode = proxyUseServer | proxyWithCredentials;
    SaveSettings(saved, files_);
    const std::string text = Ini();
    const std::size_t sp = text.find("sp=") + 3;
    EXPECT_EQ(text.substr(sp + 300, 4), "0000");  // padding is written as zero

    TickerSettings loaded;
    EXPECT_EQ(LoadSettings(loaded, files_), 1);
    EXPECT_EQ(std::strlen(loaded.codeList), 511u);
    EXPECT_EQ(std::strlen(loaded.proxyServer), 49u);
    EXPECT_EQ(std::strlen(loaded.proxyUser), 49u);
    EXPECT_EQ(std::strlen(loaded.proxyPassword), 49u);
    EXPECT_EQ(loaded.proxyMode, proxyUseServer | proxyWithCredentials);

    // The store holds all 512 bytes; taken back, the list is cut the same way.
    RemoveKey("ss");
    EXPECT_EQ(LoadSettings(loaded, files_), 0);
    EXPECT_EQ(std::strlen(loaded.codeList), 511u);
}

TEST_F(SettingsStoreTest, DamagedValuesFallBackOneBlockAtATime) {
    TickerSettings saved = DefaultTickerSettings();
    std::strcpy(saved.codeList, ",600000");
    saved.provider = ProviderNetEase;
    saved.upColor = 0x123456;
    std::strcpy(saved.proxyServer, "p.example:81");
    saved.proxyMode = proxyUseServer;
    saved.fontSize = 3;
    SaveSettings(saved, files_);
    const std::string good = Ini();

    auto replace = [](std::string& text, const std::string& from, const std::string& to) {
        text.replace(text.find(from), from.size(), to);
    };
    const std::pair<const char*, std::function<void(std::string&)>> damages[] = {
        {"odd length", [&](std::string& t) { replace(t, "ss=", "ss=0"); }},
        {"not hex", [&](std::string& t) { replace(t, "sp=70", "sp=7G"); }},
        {"first of two keys",
         [&](std::string& t) { replace(t, "[UserSet]\r\n", "[UserSet]\r\nsu=00\r\n"); }},
        {"megabyte line", [](std::string& t) { t.insert(0, std::string(3 << 20, 'x') + "\n"); }},
    };
    for (const auto& [what, damage] : damages) {
        SCOPED_TRACE(what);
        std::string text = good;
        damage(text);
        test::WriteBytes(files_.iniFile, text);
        TickerSettings loaded;
        const bool intact = std::string_view(what) == "megabyte line";
        EXPECT_EQ(LoadSettings(loaded, files_), intact ? 1 : 0);
        EXPECT_STREQ(loaded.codeList, ",600000");  // from the store when "ss" is damaged
        EXPECT_EQ(loaded.provider, what == damages[0].first ? ProviderSina : ProviderNetEase);
        EXPECT_STREQ(loaded.proxyServer, what == damages[1].first ? "" : "p.example:81");
        EXPECT_EQ(loaded.upColor, what == damages[2].first ? 0x0000FFu : 0x123456u);
        EXPECT_EQ(loaded.fontSize, 3);
        if (intact) {
            EXPECT_EQ(Ini(), text);
        }
    }
}

TEST_F(SettingsStoreTest, JunkFilesGiveDefaultsAndKeepTheirBytes) {
    std::mt19937 random(43);
    std::string binary(4096, '\0');
    for (char& c : binary) {
        c = static_cast<char>(random() % 7 == 0 ? 0 : random() & 0xFF);
    }
    const std::string junks[] = {"", binary, "[UserSet\nss=" + DefaultSs + "\nfontsize=2"};
    for (const std::string& junk : junks) {
        test::WriteBytes(files_.iniFile, junk);
        TickerSettings loaded;
        EXPECT_EQ(LoadSettings(loaded, files_), 0);
        EXPECT_TRUE(SameRecord(loaded, DefaultTickerSettings()));
        EXPECT_EQ(Ini().substr(0, junk.size()), junk);
        EXPECT_EQ(LoadSettings(loaded, files_), 1);
    }
}

TEST_F(SettingsStoreTest, UnwritableFolderStillLoadsTheRightRecord) {
    StoreCodeList(",399001");
    const auto plain = dir_.path() / "plain";
    test::WriteBytes(plain, "not a folder");
    const SettingsFiles nowhere = SettingsFilesFor(plain);
    TickerSettings loaded;
    EXPECT_EQ(LoadSettings(loaded, nowhere), 0);
    EXPECT_STREQ(loaded.codeList, ",399001");
    EXPECT_EQ(loaded.pageContent, 0x75u);
    WindowState state{0, {1, 2, 3, 4}};
    EXPECT_EQ(SaveWindowState(state, nowhere), 0);
    EXPECT_EQ(LoadWindowState(state, nowhere), 0);
    EXPECT_EQ(state.windowRect.right, 3);
    EXPECT_EQ(test::Entries(dir_.path()), (std::vector<std::string>{"config", "plain", "program"}));
}

TEST_F(SettingsStoreTest, ReadOnlyFolderStillLoadsTheRightRecord) {
    TickerSettings saved = DefaultTickerSettings();
    saved.provider = ProviderNetEase;
    saved.fontSize = 3;
    SaveSettings(saved, files_);
    RemoveKey("ss");
    const std::string before = Ini();
    // Permissions do not bind root: as root the check runs as an unprivileged user who owns the
    // files and may not write into the program's folder.
    if (::geteuid() == 0) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_.path())) {
            ASSERT_EQ(
                ::lchown(entry.path().c_str(), test::UnprivilegedUser, test::UnprivilegedGroup), 0);
        }
        ASSERT_EQ(::chown(dir_.path().c_str(), test::UnprivilegedUser, test::UnprivilegedGroup), 0);
    }
    ASSERT_EQ(::chmod(program_.c_str(), 0500), 0);
    const int outcome = test::RunInChild(
        [&] {
            TickerSettings loaded;
            // The file's other blocks, and for the lost one the store's copy and defaults.
            const bool right = LoadSettings(loaded, files_) == 0 &&
                               std::strcmp(loaded.codeList, ",1A0001,399001") == 0 &&
                               loaded.provider == ProviderSina && loaded.fontSize == 3;
            WindowState state{1, {5, 6, 7, 8}};
            const bool refused = SaveWindowState(state, files_) == 0;
            return (right ? 0 : 1) | (refused ? 0 : 2);
        },
        {.dropPrivileges = true});
    ::chmod(program_.c_str(), 0700);
    EXPECT_EQ(outcome, 0);
    EXPECT_EQ(Ini(), before);
    EXPECT_EQ(test::Entries(program_), std::vector<std::string>{"vemo.ini"});
}

// A portable folder keeps vemo.ini beside the program; an installed program's folder, which the
// user may not write, never gets a file: the settings go to the user's own folder instead.
TEST_F(SettingsStoreTest, SettingsFolderIsTheProgramsOnlyWhenTheUserMayWriteIt) {
    EXPECT_EQ(SettingsFolderFor(program_), program_);

    const std::filesystem::path userFolder = dir_.path() / "config/Quorvane/VemoMonitor";
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(dir_.path().c_str(), test::UnprivilegedUser, test::UnprivilegedGroup), 0);
    }
    ASSERT_EQ(::chmod(program_.c_str(), 0555), 0);
    const int outcome = test::RunInChild(
        [&] {
            const std::filesystem::path folder = SettingsFolderFor(program_);
            if (folder != userFolder) {
                return 1;
            }
            const SettingsFiles files = SettingsFilesFor(folder);
            TickerSettings loaded;
            LoadSettings(loaded, files);
            return SaveWindowState(WindowState{1, {1, 2, 3, 4}}, files) == 1 ? 0 : 2;
        },
        {.dropPrivileges = true});
    ::chmod(program_.c_str(), 0700);
    EXPECT_EQ(outcome, 0);
    EXPECT_TRUE(test::Entries(program_).empty());
    EXPECT_TRUE(std::filesystem::exists(userFolder / "vemo.ini"));
    EXPECT_EQ(test::ModeOf(userFolder) & 0777u, 0700u);
}

TEST_F(SettingsStoreTest, ReadOnlyFileIsKeptAndStillLoads) {
    TickerSettings saved = DefaultTickerSettings();
    saved.provider = ProviderNetEase;
    SaveSettings(saved, files_);
    WindowState state{0, {10, 20, 30, 40}};
    SaveWindowState(state, files_);
    RemoveKey("su");
    const std::string before = Ini();
    ::chmod(files_.iniFile.c_str(), 0444);

    TickerSettings loaded;
    EXPECT_EQ(LoadSettings(loaded, files_), 0);
    EXPECT_EQ(loaded.provider, ProviderNetEase);
    EXPECT_EQ(loaded.upColor, 0x0000FFu);
    EXPECT_EQ(LoadWindowState(state, files_), 1);
    EXPECT_EQ(state.windowRect.left, 10);
    loaded.fontSize = 4;
    SaveSettings(loaded, files_);
    EXPECT_EQ(SaveWindowState(WindowState{1, {1, 2, 3, 4}}, files_), 0);
    EXPECT_EQ(Ini(), before);
    EXPECT_EQ(test::ModeOf(files_.iniFile), 0444u);
}

TEST_F(SettingsStoreTest, AWriteCutShortLeavesTheOldFilesWhole) {
    TickerSettings saved = DefaultTickerSettings();
    SaveSettings(saved, files_);
    const std::string ini = Ini();
    const std::string store = test::ReadBytes(files_.appStore);
    // Each file is a few hundred bytes too long for the child to write.
    const int outcome = test::RunInChild(
        [&] {
            TickerSettings longer = DefaultTickerSettings();
            std::string list;
            for (int i = 0; i < 73; ++i) {
                list += "," + std::to_string(600000 + i);
            }
            std::memcpy(longer.codeList, list.c_str(), list.size() + 1);
            SaveSettings(longer, files_);
            return SaveWindowState(WindowState{1, {1, 2, 3, 4}}, files_);
        },
        {.maxFileSize = static_cast<rlim_t>(std::min(ini.size(), store.size()) + 40)});
    EXPECT_EQ(outcome, 0);
    EXPECT_EQ(Ini(), ini);
    EXPECT_EQ(test::ReadBytes(files_.appStore), store);
    EXPECT_EQ(test::Entries(program_), std::vector<std::string>{"vemo.ini"});
    EXPECT_EQ(test::Entries(files_.appStore.parent_path()), std::vector<std::string>{"registry"});
}

TEST_F(SettingsStoreTest, WindowStateRoundTripAndInvalidValue) {
    const WindowState saved{1, {10, -20, 300, 400}};
    EXPECT_EQ(SaveWindowState(saved, files_), 1);
    WindowState loaded{};
    EXPECT_EQ(LoadWindowState(loaded, files_), 1);
    EXPECT_EQ(std::memcmp(&loaded, &saved, sizeof saved), 0);

    EditIni([](std::string& text) { text[text.size() - 3] ^= 1; });  // the checksum
    WindowState current{1, {1, 2, 3, 4}};
    EXPECT_EQ(LoadWindowState(current, files_), 0);
    EXPECT_EQ(current.transparent, 0);
    EXPECT_EQ(current.windowRect.left, 1);
    EXPECT_NE(Ini().find("wstat=00000000010000000200000003000000040000000A\r\n"),
              std::string::npos);
}

TEST_F(SettingsStoreTest, SavingKeepsTheUsersOtherLines) {
    test::WriteBytes(files_.iniFile,
                     "; my notes\n[Other]\nkey = value\n\n[UserSet]\nfontsize=3\nextra=1\n");
    SaveSettings(DefaultTickerSettings(), files_);
    EXPECT_EQ(Ini(), "; my notes\n[Other]\nkey = value\n\n[UserSet]\nfontsize=1\r\nextra=1\nss=" +
                         DefaultSs + "\r\nsu=" + DefaultSu + "\r\nsp=" + DefaultSp +
                         "\r\nversion=43\r\n");
}

TEST_F(SettingsStoreTest, AFailedSaveNamesTheFileAndWhy) {
    std::string problem = "stale";
    EXPECT_EQ(SaveSettings(DefaultTickerSettings(), files_, problem), 1);
    EXPECT_EQ(problem, "");
    const std::string ini = files_.iniFile.string();

    // A file made read-only: neither save goes through, and both say so.
    ::chmod(files_.iniFile.c_str(), 0444);
    TickerSettings changed = DefaultTickerSettings();
    changed.fontSize = 4;
    EXPECT_EQ(SaveSettings(changed, files_, problem), 0);
    EXPECT_EQ(problem, "设置无法保存到 " + ini + ": 只读文件");
    EXPECT_EQ(SaveWindowState(WindowState{1, {1, 2, 3, 4}}, files_, problem), 0);
    EXPECT_EQ(problem, "设置无法保存到 " + ini + ": 只读文件");
    ::chmod(files_.iniFile.c_str(), 0600);

    // A program "folder" that is a file.
    const auto plain = dir_.path() / "plain";
    test::WriteBytes(plain, "not a folder");
    const SettingsFiles nowhere = SettingsFilesFor(plain);
    EXPECT_EQ(SaveSettings(changed, nowhere, problem), 0);
    EXPECT_EQ(problem,
              "设置无法保存到 " + nowhere.iniFile.string() + ": " + ChineseErrorText(ENOTDIR));

    // A folder the user may not write into (root may write anywhere: the child is not root).
    if (::geteuid() == 0) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_.path())) {
            ASSERT_EQ(
                ::lchown(entry.path().c_str(), test::UnprivilegedUser, test::UnprivilegedGroup), 0);
        }
        ASSERT_EQ(::chown(dir_.path().c_str(), test::UnprivilegedUser, test::UnprivilegedGroup), 0);
    }
    ASSERT_EQ(::chmod(program_.c_str(), 0500), 0);
    const std::string expected = "设置无法保存到 " + ini + ": " + ChineseErrorText(EACCES);
    const int outcome = test::RunInChild(
        [&] {
            std::string said;
            const bool refused = SaveSettings(changed, files_, said) == 0;
            return (refused ? 0 : 1) | (said == expected ? 0 : 2);
        },
        {.dropPrivileges = true});
    ::chmod(program_.c_str(), 0700);
    EXPECT_EQ(outcome, 0);
}

TEST_F(SettingsStoreTest, TheEndOfARunSaysEachFailureOnce) {
    SaveSettings(DefaultTickerSettings(), files_);
    std::FILE* errors = std::tmpfile();
    ASSERT_NE(errors, nullptr);
    EXPECT_TRUE(SaveAtExit(WindowState{0, {1, 2, 3, 4}}, DefaultTickerSettings(), files_, errors));
    ::chmod(files_.iniFile.c_str(), 0444);
    EXPECT_FALSE(SaveAtExit(WindowState{1, {5, 6, 7, 8}}, DefaultTickerSettings(), files_, errors));
    std::rewind(errors);
    char text[1024] = {};
    const std::size_t length = std::fread(text, 1, sizeof text - 1, errors);
    std::fclose(errors);
    EXPECT_EQ(std::string(text, length),
              "设置无法保存到 " + files_.iniFile.string() + ": 只读文件\n");
}

TEST(ChineseErrorTextTest, CommonCausesReadInChinese) {
    EXPECT_NE(ChineseErrorText(EROFS).find("只读"), std::string::npos);
    EXPECT_NE(ChineseErrorText(EACCES).find("权限"), std::string::npos);
    EXPECT_NE(ChineseErrorText(ENOSPC).find("空间"), std::string::npos);
    EXPECT_NE(ChineseErrorText(98765).find("98765"), std::string::npos);
}

TEST(ReadWholeFileTest, APathUnderAFileReadsAsMissing) {
    TempDir dir;
    test::WriteBytes(dir.path() / "file", "x");
    std::string content = "old";
    EXPECT_EQ(ReadWholeFile(dir.path() / "file" / "vemo.ini", 1024, content),
              FileReadStatus::Missing);
    EXPECT_EQ(content, "");
    EXPECT_EQ(ReadWholeFile(dir.path() / "none" / "vemo.ini", 1024, content),
              FileReadStatus::Missing);
    EXPECT_EQ(ReadWholeFile(dir.path(), 1024, content), FileReadStatus::Failed);
}

}  // namespace
}  // namespace vemo
