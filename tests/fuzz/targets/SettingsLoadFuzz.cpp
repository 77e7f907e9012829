// A settings file through the INI layer and LoadSettings: the edits keep every other key, and
// what a load writes back loads again complete and unchanged.

#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "settings/IniFile.h"
#include "settings/SettingsStore.h"
#include "tests/fuzz/targets/FuzzCheck.h"
#include "tests/fuzz/targets/ScratchFolder.h"

namespace {

using namespace vemo;

// The keys the program reads, and one it does not.
constexpr std::pair<std::string_view, std::string_view> Keys[] = {
    {"UserSet", "ss"},      {"UserSet", "su"},    {"UserSet", "sp"}, {"UserSet", "fontsize"},
    {"UserSet", "version"}, {"WinStat", "wstat"}, {"Other", "key"}};

void CheckEdits(std::string_view text) {
    const auto findAll = [](const IniDocument& document) {
        std::vector<std::optional<std::string>> values;
        for (const auto& [section, key] : Keys) {
            const auto value = document.Find(section, key);
            values.push_back(value ? std::optional<std::string>(*value) : std::nullopt);
        }
        return values;
    };
    const IniDocument original{std::string(text)};
    const auto before = findAll(original);

    // Replacing or adding one key leaves every other key as it read before.
    for (std::size_t edited = 0; edited < std::size(Keys); ++edited) {
        IniDocument document = original;
        FUZZ_CHECK(document.Set(Keys[edited].first, Keys[edited].second, "3"));
        const auto after = findAll(document);
        for (std::size_t i = 0; i < std::size(Keys); ++i) {
            FUZZ_CHECK(i == edited ? after[i] == "3" : after[i] == before[i]);
        }
    }

    // A block reads back as it was written.
    IniDocument document = original;
    unsigned char block[SuBlockSize];
    for (std::size_t i = 0; i < sizeof block; ++i) {
        block[i] = static_cast<unsigned char>(i < text.size() ? text[i] : i);
    }
    FUZZ_CHECK(document.SetStruct("UserSet", "su", block, sizeof block));
    unsigned char read[SuBlockSize] = {};
    FUZZ_CHECK(document.GetStruct("USERSET", "SU", read, sizeof read));
    FUZZ_CHECK(std::memcmp(block, read, sizeof block) == 0);

    // The readers of the other profile functions, for what they read on the way.
    (void)original.GetInt("UserSet", "fontsize", 1);
    (void)original.GetString("UserSet", "version");
}

// The record apart from the proxy block's padding (written as zero) and the version found in
// the file (which a save brings up to date).
bool SameSettings(const TickerSettings& a, const TickerSettings& b) {
    const auto* x = reinterpret_cast<const unsigned char*>(&a);
    const auto* y = reinterpret_cast<const unsigned char*>(&b);
    const std::size_t padding = offsetof(TickerSettings, proxyPadding);
    const std::size_t mode = offsetof(TickerSettings, proxyMode);
    const std::size_t version = offsetof(TickerSettings, savedVersion);
    return std::memcmp(x, y, padding) == 0 && std::memcmp(x + mode, y + mode, version - mode) == 0;
}

void CheckLoad(std::string_view text) {
    const SettingsFiles files{fuzz::ScratchFolder() / "vemo.ini",
                              fuzz::ScratchFolder() / "registry"};
    std::filesystem::remove(files.appStore);
    {
        std::ofstream out(files.iniFile, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    TickerSettings first{};
    const int complete = LoadSettings(first, files);
    FUZZ_CHECK(complete == 0 || complete == 1);
    FUZZ_CHECK(first.fontSize >= 0 && first.fontSize <= 4);
    FUZZ_CHECK(strnlen(first.codeList, CodeListSize) < CodeListSize);
    FUZZ_CHECK(strnlen(first.proxyServer, ProxyTextSize) < ProxyTextSize);

    // Read, or written as it stands with transparency cleared: either way it reads back.
    WindowState state{};
    LoadWindowState(state, files);
    WindowState again{};
    FUZZ_CHECK(LoadWindowState(again, files) == 1);
    FUZZ_CHECK(std::memcmp(&state, &again, sizeof state) == 0);

    TickerSettings second{};
    FUZZ_CHECK(LoadSettings(second, files) == 1);
    FUZZ_CHECK(SameSettings(first, second));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The proxy import reads the environment; the same input must load the same everywhere.
    unsetenv("http_proxy");
    unsetenv("HTTP_PROXY");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckEdits(text);
    CheckLoad(text);
    return 0;
}
