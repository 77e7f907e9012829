// vemo-demo-settings: writes vemo.ini for a demo or test folder, so that VEMO starts with a
// chosen watch list, refresh period and proxy.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "settings/SettingsStore.h"

namespace {

constexpr char Usage[] =
    "usage: vemo-demo-settings DIR [--codes ,CODE,CODE...] [--provider 2|3|4] [--refresh SECONDS]\n"
    "                          [--proxy HOST:PORT] [--proxy-user USER --proxy-password PW]\n"
    "                          [--font-size 0-4] [--page-content HEX] [--option-flags HEX]\n"
    "                          [--custom-colours BG,NAME,UP,DOWN,HEADER (hex 0xBBGGRR)]\n"
    "                          [--hot-key MODIFIERS,VIRTUALKEY] [--transparent]\n";

bool CopyText(char* field, std::size_t size, const char* text) {
    if (std::strlen(text) >= size) {
        std::fprintf(stderr, "vemo-demo-settings: \"%s\" is too long\n", text);
        return false;
    }
    std::memset(field, 0, size);
    std::strcpy(field, text);
    return true;
}

bool Number(const char* text, long& value) {
    char* end = nullptr;
    value = std::strtol(text, &end, 0);
    return end != text && *end == '\0';
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || !std::filesystem::is_directory(argv[1])) {
        std::fputs(Usage, stderr);
        return 2;
    }
    using namespace vemo;
    TickerSettings s = DefaultTickerSettings();
    bool transparent = false;
    for (int i = 2; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--transparent") {
            transparent = true;
            continue;
        }
        if (i + 1 >= argc) {
            std::fputs(Usage, stderr);
            return 2;
        }
        const char* value = argv[++i];
        long number = 0;
        bool ok = true;
        if (option == "--codes") {
            ok = CopyText(s.codeList, sizeof s.codeList, value);
        } else if (option == "--provider" && (ok = Number(value, number))) {
            s.provider = static_cast<std::int32_t>(number);
        } else if (option == "--refresh" && (ok = Number(value, number))) {
            s.refreshSeconds = static_cast<std::int32_t>(number);
        } else if (option == "--proxy") {
            ok = CopyText(s.proxyServer, sizeof s.proxyServer, value);
            s.proxyMode |= proxyUseServer;
        } else if (option == "--proxy-user") {
            ok = CopyText(s.proxyUser, sizeof s.proxyUser, value);
            s.proxyMode |= proxyWithCredentials;
        } else if (option == "--proxy-password") {
            ok = CopyText(s.proxyPassword, sizeof s.proxyPassword, value);
        } else if (option == "--font-size" && (ok = Number(value, number))) {
            s.fontSize = static_cast<std::int32_t>(number);
        } else if (option == "--page-content" && (ok = Number(value, number))) {
            s.pageContent = static_cast<std::uint32_t>(number);
        } else if (option == "--option-flags" && (ok = Number(value, number))) {
            s.optionFlags = static_cast<std::uint32_t>(number);
        } else if (option == "--custom-colours") {
            unsigned int c[5] = {};
            ok = std::sscanf(value, "%x,%x,%x,%x,%x", &c[0], &c[1], &c[2], &c[3], &c[4]) == 5;
            s.backgroundColor = c[0];
            s.nameColor = c[1];
            s.upColor = c[2];
            s.downColor = c[3];
            s.headerColor = c[4];
            s.optionFlags |= customColors;
        } else if (option == "--hot-key") {
            int modifiers = 0;
            int key = 0;
            ok = std::sscanf(value, "%i,%i", &modifiers, &key) == 2;
            s.hotKeyModifiers = modifiers;
            s.hotKeyVirtualKey = key;
        } else {
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr, "vemo-demo-settings: bad %s %s\n", option.c_str(), value);
            std::fputs(Usage, stderr);
            return 2;
        }
    }
    const SettingsFiles files = SettingsFilesFor(argv[1]);
    SaveSettings(s, files);
    WindowState state{};
    state.transparent = transparent ? 1 : 0;
    SaveWindowState(state, files);
    return 0;
}
