// The per-user store's text through its parser and writer, and through ReadAppValue and
// WriteAppValue on a file: what parses is written back unchanged, a write keeps every other value.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "settings/AppStore.h"
#include "settings/SettingsStore.h"
#include "tests/fuzz/targets/FuzzCheck.h"
#include "tests/fuzz/targets/ScratchFolder.h"

namespace {

using namespace vemo;

bool SameValues(const std::vector<AppValue>& a, const std::vector<AppValue>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].name != b[i].name || a[i].type != b[i].type || a[i].data != b[i].data) {
            return false;
        }
    }
    return true;
}

bool IsNamed(const AppValue& value, std::string_view name) {
    if (value.name.size() != name.size()) {
        return false;
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(value.name[i]) != lower(name[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<AppValue> values = ParseAppStore(text);
    for (const AppValue& value : values) {
        FUZZ_CHECK(value.type == RegSz || (value.type == RegDword && value.data.size() == 4));
    }
    FUZZ_CHECK(SameValues(ParseAppStore(FormatAppStore(values)), values));

    const std::filesystem::path store = fuzz::ScratchFolder() / "registry";
    {
        std::ofstream out(store, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    // The first value reads back as parsed, into a buffer of exactly its size and a larger one.
    if (!values.empty() && values[0].name.find('\0') == std::string::npos) {
        const AppValue& first = values[0];
        std::vector<char> exact(first.data.size());
        FUZZ_CHECK(ReadAppValue(store, first.name.c_str(), exact.data(),
                                static_cast<std::uint32_t>(exact.size())) == AppStoreOk);
        FUZZ_CHECK(std::string(exact.begin(), exact.end()) == first.data);
        if (!first.data.empty()) {
            FUZZ_CHECK(ReadAppValue(store, first.name.c_str(), exact.data(),
                                    static_cast<std::uint32_t>(exact.size() - 1)) ==
                       AppValueTooLarge);
        }
    }
    char code[512] = {};
    ReadAppValue(store, "VemoCode", code, sizeof code);

    // A write replaces or adds its value and keeps every other one.
    const char guid[] = "01234567-89AB-4CDE-8F01-23456789ABCD";
    FUZZ_CHECK(WriteAppValue(store, "Guid", RegSz, guid, sizeof guid - 1) == AppStoreOk);
    FUZZ_CHECK(std::filesystem::status(store).permissions() ==
               (std::filesystem::perms::owner_read | std::filesystem::perms::owner_write));
    char read[64] = {};
    FUZZ_CHECK(ReadAppValue(store, "GUID", read, sizeof read) == AppStoreOk);
    FUZZ_CHECK(std::string_view(read) == guid);
    std::string written;
    {
        std::ifstream in(store, std::ios::binary);
        written.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::vector<AppValue> expected = values;
    bool replaced = false;
    for (AppValue& value : expected) {
        if (!replaced && IsNamed(value, "Guid")) {
            value.type = RegSz;
            value.data = guid;
            replaced = true;
        }
    }
    if (!replaced) {
        expected.push_back(AppValue{"Guid", RegSz, guid});
    }
    FUZZ_CHECK(SameValues(ParseAppStore(written), expected));
    return 0;
}
