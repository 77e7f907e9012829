#include "settings/AppStore.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>

#include "settings/AtomicFile.h"
#include "settings/IniFile.h"
#include "settings/SettingsStore.h"
#include "settings/UniqueFd.h"
#include "settings/UserFolders.h"

namespace vemo {

namespace {

constexpr std::string_view DwordPrefix = "dword:";

void AppendQuoted(std::string& out, std::string_view bytes) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    out.push_back('"');
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '\\' || c == '"') {
            out.push_back('\\');
            out.push_back(c);
        } else if (b >= 0x20 && b <= 0x7E) {
            out.push_back(c);
        } else {
            out.append("\\x");
            out.push_back(Digits[b >> 4]);
            out.push_back(Digits[b & 0x0F]);
        }
    }
    out.push_back('"');
}

// Parses a quoted text at the start of `line` and removes it from `line`.
std::optional<std::string> TakeQuoted(std::string_view& line) {
    if (line.empty() || line.front() != '"') {
        return std::nullopt;
    }
    std::string bytes;
    std::size_t i = 1;
    while (i < line.size()) {
        const char c = line[i++];
        if (c == '"') {
            line.remove_prefix(i);
            return bytes;
        }
        if (c != '\\') {
            bytes.push_back(c);
            continue;
        }
        if (i >= line.size()) {
            return std::nullopt;
        }
        const char escape = line[i++];
        switch (escape) {
            case '\\':
            case '"':
                bytes.push_back(escape);
                break;
            case 'n':
                bytes.push_back('\n');
                break;
            case 'r':
                bytes.push_back('\r');
                break;
            case 't':
                bytes.push_back('\t');
                break;
            case '0':
                bytes.push_back('\0');
                break;
            case 'x': {
                if (i + 2 > line.size()) {
                    return std::nullopt;
                }
                const int high = HexDigit(line[i]);
                const int low = HexDigit(line[i + 1]);
                if (high < 0 || low < 0) {
                    return std::nullopt;
                }
                bytes.push_back(static_cast<char>(high * 16 + low));
                i += 2;
                break;
            }
            default:
                return std::nullopt;
        }
    }
    return std::nullopt;  // no closing quote
}

std::optional<AppValue> ParseLine(std::string_view line) {
    AppValue value;
    std::optional<std::string> name = TakeQuoted(line);
    if (!name || line.empty() || line.front() != '=') {
        return std::nullopt;
    }
    value.name = std::move(*name);
    line.remove_prefix(1);
    if (!line.empty() && line.front() == '"') {
        std::optional<std::string> data = TakeQuoted(line);
        if (!data || !line.empty()) {
            return std::nullopt;
        }
        value.type = RegSz;
        value.data = std::move(*data);
        return value;
    }
    if (!line.starts_with(DwordPrefix)) {
        return std::nullopt;
    }
    line.remove_prefix(DwordPrefix.size());
    if (line.empty() || line.size() > 8) {
        return std::nullopt;
    }
    std::uint32_t number = 0;
    for (char c : line) {
        const int digit = HexDigit(c);
        if (digit < 0) {
            return std::nullopt;
        }
        number = number * 16u + static_cast<std::uint32_t>(digit);
    }
    value.type = RegDword;
    value.data.resize(4);
    std::memcpy(value.data.data(), &number, 4);
    return value;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z') {
            x = char(x - 'A' + 'a');
        }
        if (y >= 'A' && y <= 'Z') {
            y = char(y - 'A' + 'a');
        }
        if (x != y) {
            return false;
        }
    }
    return true;
}

AppValue* FindValue(std::vector<AppValue>& values, std::string_view name) {
    for (AppValue& value : values) {
        if (EqualNoCase(value.name, name)) {
            return &value;
        }
    }
    return nullptr;
}

}  // namespace

std::vector<AppValue> ParseAppStore(std::string_view text) {
    std::vector<AppValue> values;
    while (!text.empty()) {
        const std::size_t lf = text.find('\n');
        std::string_view line = text.substr(0, lf);
        text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
            line.remove_prefix(1);
        }
        while (!line.empty() &&
               (line.back() == ' ' || line.back() == '\t' || line.back() == '\r')) {
            line.remove_suffix(1);
        }
        if (line.empty() || line.front() == ';' || line.front() == '#') {
            continue;
        }
        if (std::optional<AppValue> value = ParseLine(line)) {
            values.push_back(std::move(*value));
        }
    }
    return values;
}

std::string FormatAppStore(const std::vector<AppValue>& values) {
    std::string text =
        "; VEMO per-user values, one a line: \"name\"=\"text\" or \"name\"=dword:hhhhhhhh.\n"
        "; In quotes, \\\\ and \\\" stand for \\ and \", \\xHH for any byte outside printable "
        "ASCII.\n";
    for (const AppValue& value : values) {
        AppendQuoted(text, value.name);
        text.push_back('=');
        if (value.type == RegDword && value.data.size() == 4) {
            std::uint32_t number = 0;
            std::memcpy(&number, value.data.data(), 4);
            char digits[9];
            std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(number));
            text.append(DwordPrefix).append(digits);
        } else {
            AppendQuoted(text, value.data);
        }
        text.push_back('\n');
    }
    return text;
}

std::filesystem::path DefaultAppStorePath() {
    const std::filesystem::path base = ConfigHomeFolder();
    if (base.empty()) {
        return {};
    }
    return base / "Quorvane" / "VemoMonitor" / "registry";
}

namespace {

int ReadValue(const std::filesystem::path& store, const char* name, void* buffer,
              std::uint32_t size) {
    if (name == nullptr || (buffer == nullptr && size > 0)) {
        return AppStoreBadArgument;
    }
    std::string text;
    if (ReadWholeFile(store, MaxAppStoreSize, text) != FileReadStatus::Ok) {
        return AppStoreUnavailable;
    }
    std::vector<AppValue> values = ParseAppStore(text);
    const AppValue* value = FindValue(values, name);
    if (value == nullptr) {
        return AppValueMissing;
    }
    if (value->data.size() > size) {
        return AppValueTooLarge;
    }
    if (!value->data.empty()) {
        std::memcpy(buffer, value->data.data(), value->data.size());
    }
    // A text stored without its terminator still reads as a terminated string when there is
    // room for one; callers that zero-fill their buffers see no difference.
    if (value->type == RegSz && value->data.size() < size) {
        static_cast<char*>(buffer)[value->data.size()] = '\0';
    }
    return AppStoreOk;
}

// Writers change the store by reading it, changing one value and writing it back; without a
// lock, two of them at once (the notice thread and the interface thread, or another program of
// the user's) would each drop the other's value.
std::mutex& WritersInThisProcess() {
    static std::mutex mutex;
    return mutex;
}

// An exclusive lock on the store's folder, between processes, for as long as it lives. Where
// the file system has no such locks, the writers of this process are still kept apart.
class FolderLock {
  public:
    explicit FolderLock(const std::filesystem::path& folder)
        : fd_(::open(folder.empty() ? "." : folder.c_str(),
                     O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY)) {
        while (fd_.get() >= 0 && ::flock(fd_.get(), LOCK_EX) != 0 && errno == EINTR) {
        }
    }

  private:
    UniqueFd fd_;
};

int WriteValue(const std::filesystem::path& store, const char* name, std::uint32_t type,
               const void* data, std::uint32_t size) {
    if (name == nullptr || (data == nullptr && size > 0) || (type != RegSz && type != RegDword) ||
        (type == RegDword && size != 4)) {
        return AppStoreBadArgument;
    }
    if (store.empty() || !store.has_filename()) {
        return AppStoreUnavailable;
    }
    const std::filesystem::path folder = store.parent_path();
    if (!folder.empty() && !CreateFolders(folder, 0700)) {
        return AppStoreWriteFailed;
    }
    const std::lock_guard<std::mutex> inProcess(WritersInThisProcess());
    const FolderLock betweenProcesses(folder);

    std::string old;
    const FileReadStatus status = ReadWholeFile(store, MaxAppStoreSize, old);
    if (status == FileReadStatus::Failed) {
        return AppStoreUnavailable;
    }
    std::vector<AppValue> values = ParseAppStore(old);
    std::string bytes;
    if (size > 0) {
        bytes.assign(static_cast<const char*>(data), size);
    }
    if (AppValue* existing = FindValue(values, name)) {
        existing->type = type;
        existing->data = std::move(bytes);
    } else {
        values.push_back(AppValue{name, type, std::move(bytes)});
    }
    const std::string text = FormatAppStore(values);
    if (text.size() > MaxAppStoreSize) {
        return AppValueTooLarge;
    }
    if (status == FileReadStatus::Ok && text == old) {
        return AppStoreOk;
    }
    if (ReplaceFileAtomically(store, text, 0600, ModePolicy::Always) != ReplaceOk) {
        return AppStoreWriteFailed;
    }
    return AppStoreOk;
}

}  // namespace

int ReadAppValue(const std::filesystem::path& store, const char* name, void* buffer,
                 std::uint32_t size) {
    try {
        return ReadValue(store, name, buffer, size);
    } catch (...) {
        return AppStoreUnavailable;  // out of memory while parsing
    }
}

int WriteAppValue(const std::filesystem::path& store, const char* name, std::uint32_t type,
                  const void* data, std::uint32_t size) {
    try {
        return WriteValue(store, name, type, data, size);
    } catch (...) {
        return AppStoreWriteFailed;  // out of memory; the file is as it was
    }
}

}  // namespace vemo
