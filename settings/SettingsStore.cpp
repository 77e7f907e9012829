#include "settings/SettingsStore.h"

#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "settings/AppStore.h"
#include "settings/AtomicFile.h"
#include "settings/IniFile.h"
#include "settings/UserFolders.h"
#include "settings/SaveFailure.h"
#include "settings/Version.h"

namespace vemo {

namespace {

constexpr char UserSet[] = "UserSet";
constexpr char WinStat[] = "WinStat";
constexpr char CodeListValue[] = "VemoCode";

constexpr std::size_t PaddingOffset = offsetof(TickerSettings, proxyPadding);

unsigned char* Bytes(TickerSettings& settings) {
    return reinterpret_cast<unsigned char*>(&settings);
}
const unsigned char* Bytes(const TickerSettings& settings) {
    return reinterpret_cast<const unsigned char*>(&settings);
}

// A block from the file may carry a text that fills its field without a terminator; cutting its
// last byte keeps every reader inside the field.
template <std::size_t N>
void TerminateText(char (&text)[N]) {
    if (std::memchr(text, '\0', N) == nullptr) {
        text[N - 1] = '\0';
    }
}

// "http://user:pw@proxy.example:8080/path" -> "proxy.example:8080"; "proxy:3128" stays.
std::string_view ProxyHostAndPort(std::string_view url) {
    while (!url.empty() && (url.front() == ' ' || url.front() == '\t')) {
        url.remove_prefix(1);
    }
    while (!url.empty() && (url.back() == ' ' || url.back() == '\t')) {
        url.remove_suffix(1);
    }
    if (const std::size_t scheme = url.find("://"); scheme != std::string_view::npos) {
        url.remove_prefix(scheme + 3);
    }
    url = url.substr(0, url.find_first_of("/?#"));
    if (const std::size_t at = url.rfind('@'); at != std::string_view::npos) {
        url.remove_prefix(at + 1);
    }
    for (char c : url) {
        const auto b = static_cast<unsigned char>(c);
        if (b <= 0x20 || b == 0x7F) {
            return {};  // no host name holds blanks or control characters
        }
    }
    return url;
}

// Replaces the settings file with the document; on failure `problem` says why.
void SaveIniFile(const std::filesystem::path& file, const IniDocument& ini, std::string& problem) {
    errno = 0;
    const int result = SaveIniDocument(file, ini);
    if (result != ReplaceOk) {
        problem = SaveFailureMessage(file, ReplaceFailureText(result, errno));
    }
}

std::string AppStoreFailureText(int result) {
    if (result == AppStoreWriteFailed && errno != 0) {
        return ChineseErrorText(errno);
    }
    return "写入失败";
}

}  // namespace

std::filesystem::path RunningProgramFile() {
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : self;
}

std::filesystem::path ProgramFolder() {
    const std::filesystem::path self = RunningProgramFile();
    if (self.empty()) {
        std::error_code error;
        return std::filesystem::current_path(error);
    }
    return self.parent_path();
}

SettingsFiles SettingsFilesFor(const std::filesystem::path& programFolder) {
    return SettingsFiles{programFolder / "vemo.ini", DefaultAppStorePath()};
}

std::filesystem::path SettingsFolderFor(const std::filesystem::path& programFolder) {
    if (::access(programFolder.c_str(), W_OK) == 0) {
        return programFolder;
    }
    const std::filesystem::path userFolder = DefaultAppStorePath().parent_path();
    if (userFolder.empty()) {
        // Without a home folder there is nowhere else; the saves will fail and say so.
        return programFolder;
    }
    EnsurePrivateFolder(userFolder);
    return userFolder;
}

SettingsFiles RunningProgramSettingsFiles() {
    return SettingsFilesFor(SettingsFolderFor(ProgramFolder()));
}

bool ImportCodeListFromRegistry(const std::filesystem::path& store,
                                char (&codeList)[CodeListSize]) {
    char stored[CodeListSize] = {};
    if (ReadAppValue(store, CodeListValue, stored, CodeListSize) != AppStoreOk) {
        return false;
    }
    TerminateText(stored);
    std::memcpy(codeList, stored, CodeListSize);
    return true;
}

bool ImportIeProxy(TickerSettings& settings) {
    const char* proxy = std::getenv("http_proxy");
    if (proxy == nullptr || proxy[0] == '\0') {
        proxy = std::getenv("HTTP_PROXY");
    }
    if (proxy == nullptr || proxy[0] == '\0') {
        return true;
    }
    // A server that is empty or does not fit the field is not imported: the proxy stays off,
    // and the connection then follows http_proxy through the network library's own rules.
    const std::string_view server = ProxyHostAndPort(proxy);
    if (server.empty() || server.size() >= ProxyTextSize) {
        return true;
    }
    std::memset(settings.proxyServer, 0, ProxyTextSize);
    std::memcpy(settings.proxyServer, server.data(), server.size());
    settings.proxyMode |= proxyUseServer;
    return true;
}

int LoadSettings(TickerSettings& settings, const SettingsFiles& files) {
    settings = DefaultTickerSettings();
    bool complete = true;
    // An unreadable file reads as empty; SaveSettings below then leaves it alone.
    IniDocument ini;
    LoadIniDocument(files.iniFile, ini);

    if (ini.GetStruct(UserSet, "ss", Bytes(settings) + SsBlockOffset, SsBlockSize)) {
        TerminateText(settings.codeList);
    } else {
        complete = false;
        char codeList[CodeListSize] = {};
        if (ImportCodeListFromRegistry(files.appStore, codeList)) {
            std::memcpy(settings.codeList, codeList, CodeListSize);
        }
    }

    if (ini.GetStruct(UserSet, "sp", Bytes(settings) + SpBlockOffset, SpBlockSize)) {
        TerminateText(settings.proxyServer);
        TerminateText(settings.proxyUser);
        TerminateText(settings.proxyPassword);
    } else {
        complete = false;
        std::memset(Bytes(settings) + SpBlockOffset, 0, SpBlockSize);
        ImportIeProxy(settings);
    }

    if (!ini.GetStruct(UserSet, "su", Bytes(settings) + SuBlockOffset, SuBlockSize)) {
        complete = false;
    }

    settings.fontSize = ini.GetInt(UserSet, "fontsize", 1);
    if (static_cast<std::uint32_t>(settings.fontSize) > 4) {
        settings.fontSize = 1;
    }
    settings.savedVersion = ini.GetInt(UserSet, "version", 0);
    if (static_cast<std::uint32_t>(settings.savedVersion) <
        static_cast<std::uint32_t>(BuildNumber)) {
        settings.pageContent |= showPrice;  // the column came with this version
    }

    if (!complete) {
        SaveSettings(settings, files);
    }
    return complete ? 1 : 0;
}

int SaveSettings(const TickerSettings& settings, const SettingsFiles& files) {
    std::string ignored;
    return SaveSettings(settings, files, ignored);
}

int SaveSettings(const TickerSettings& settings, const SettingsFiles& files,
                 std::string& problem) {
    problem.clear();
    // All five keys go into the file in one replacement, in the order they are listed. A file
    // that exists but cannot be read is left alone rather than replaced by these keys alone.
    try {
        IniDocument ini;
        if (!LoadIniDocument(files.iniFile, ini)) {
            problem = SaveFailureMessage(files.iniFile, "无法读取");
        } else {
            unsigned char sp[SpBlockSize];
            std::memcpy(sp, Bytes(settings) + SpBlockOffset, SpBlockSize);
            std::memset(sp + (PaddingOffset - SpBlockOffset), 0, sizeof settings.proxyPadding);
            ini.SetStruct(UserSet, "ss", Bytes(settings) + SsBlockOffset, SsBlockSize);
            ini.SetStruct(UserSet, "su", Bytes(settings) + SuBlockOffset, SuBlockSize);
            ini.SetStruct(UserSet, "sp", sp, SpBlockSize);
            ini.Set(UserSet, "fontsize", std::to_string(settings.fontSize));
            ini.Set(UserSet, "version", std::to_string(BuildNumber));
            if (ini.Modified()) {
                SaveIniFile(files.iniFile, ini, problem);
            }
        }
    } catch (...) {
        // Out of memory: like any other failed write, the file stays as it was.
        problem = SaveFailureMessage(files.iniFile, ChineseErrorText(ENOMEM));
    }
    errno = 0;
    const int stored =
        WriteAppValue(files.appStore, CodeListValue, RegSz, settings.codeList,
                      static_cast<std::uint32_t>(strnlen(settings.codeList, CodeListSize)));
    if (stored != AppStoreOk && problem.empty()) {
        problem = SaveFailureMessage(files.appStore, AppStoreFailureText(stored));
    }
    return problem.empty() ? 1 : 0;
}

int LoadWindowState(WindowState& state, const SettingsFiles& files) {
    state.transparent = 0;
    IniDocument ini;
    LoadIniDocument(files.iniFile, ini);
    if (ini.GetStruct(WinStat, "wstat", &state, WindowStateSize)) {
        return 1;
    }
    SaveWindowState(state, files);
    return 0;
}

int SaveWindowState(const WindowState& state, const SettingsFiles& files) {
    std::string ignored;
    return SaveWindowState(state, files, ignored);
}

int SaveWindowState(const WindowState& state, const SettingsFiles& files, std::string& problem) {
    problem.clear();
    try {
        IniDocument ini;
        if (!LoadIniDocument(files.iniFile, ini)) {
            problem = SaveFailureMessage(files.iniFile, "无法读取");
        } else if (ini.SetStruct(WinStat, "wstat", &state, WindowStateSize) && ini.Modified()) {
            SaveIniFile(files.iniFile, ini, problem);
        }
    } catch (...) {
        problem = SaveFailureMessage(files.iniFile, ChineseErrorText(ENOMEM));
    }
    return problem.empty() ? 1 : 0;
}

bool SaveAtExit(const WindowState& state, const TickerSettings& settings, const SettingsFiles& files,
                std::FILE* errors) {
    std::string problem;
    bool saved = true;
    if (SaveWindowState(state, files, problem) == 0) {
        std::fprintf(errors, "%s\n", problem.c_str());
        saved = false;
    }
    const std::string windowProblem = problem;
    if (SaveSettings(settings, files, problem) == 0) {
        if (problem != windowProblem) {  // the same file for the same reason is said once
            std::fprintf(errors, "%s\n", problem.c_str());
        }
        saved = false;
    }
    return saved;
}

}  // namespace vemo
