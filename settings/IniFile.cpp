#include "settings/IniFile.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "settings/AtomicFile.h"

namespace vemo {

namespace {

constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view LineEnd = "\r\n";

// The profile functions count ^Z (an old end-of-file mark) among the blanks.
constexpr bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\x1a';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

constexpr char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

enum class LineKind { Blank, Section, Key, Other };

struct Line {
    std::size_t begin = 0;  // first byte of the line
    std::size_t next = 0;   // first byte of the following line (the text's size for the last)
    bool terminated = false;
    LineKind kind = LineKind::Other;
    std::string_view name;   // section or key name, trimmed
    std::string_view value;  // key value, trimmed
};

void Classify(std::string_view content, Line& line) {
    const std::string_view t = Trim(content);
    if (t.empty()) {
        line.kind = LineKind::Blank;
        return;
    }
    if (t.front() == '[') {
        // The name runs to the last "]", so anything after it (a comment) is ignored; a line
        // without "]" is no header and its keys stay with the section before it.
        const std::size_t close = t.rfind(']');
        if (close != std::string_view::npos) {
            line.kind = LineKind::Section;
            line.name = Trim(t.substr(1, close - 1));
        }
        return;
    }
    const std::size_t eq = t.find('=');
    if (eq == std::string_view::npos) {
        return;
    }
    line.name = Trim(t.substr(0, eq));
    if (!line.name.empty()) {
        line.kind = LineKind::Key;
        line.value = Trim(t.substr(eq + 1));
    }
}

// Calls `visit(line)` for every line until it returns false.
template <typename Visit>
void ForEachLine(std::string_view text, Visit visit) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        Line line;
        line.begin = pos;
        const std::size_t lf = text.find('\n', pos);
        const std::size_t end = lf == std::string_view::npos ? text.size() : lf;
        line.terminated = lf != std::string_view::npos;
        line.next = line.terminated ? lf + 1 : text.size();
        std::string_view content = text.substr(pos, end - pos);
        if (pos == 0 && content.starts_with(Utf8Bom)) {
            content.remove_prefix(Utf8Bom.size());
        }
        Classify(content, line);
        if (!visit(line)) {
            return;
        }
        pos = line.next;
    }
}

struct KeyLocation {
    bool sectionFound = false;
    std::optional<Line> key;
    Line lastFilled;  // the last non-blank line of the section, its header at least
};

KeyLocation Locate(std::string_view text, std::string_view section, std::string_view key) {
    KeyLocation where;
    bool inSection = false;
    ForEachLine(text, [&](const Line& line) {
        if (line.kind == LineKind::Section) {
            if (inSection) {
                return false;  // only the first section of that name counts
            }
            if (EqualNoCase(line.name, section)) {
                inSection = true;
                where.sectionFound = true;
                where.lastFilled = line;
            }
            return true;
        }
        if (!inSection) {
            return true;
        }
        if (line.kind != LineKind::Blank) {
            where.lastFilled = line;
        }
        if (line.kind == LineKind::Key && EqualNoCase(line.name, key)) {
            where.key = line;
            return false;
        }
        return true;
    });
    return where;
}

bool HasLineBreakOrNul(std::string_view s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool WritableName(std::string_view name) {
    return !name.empty() && Trim(name) == name && !HasLineBreakOrNul(name);
}

}  // namespace

std::optional<std::string_view> IniDocument::Find(std::string_view section,
                                                  std::string_view key) const {
    const KeyLocation where = Locate(text_, section, key);
    if (!where.key) {
        return std::nullopt;
    }
    return where.key->value;
}

std::optional<std::string> IniDocument::GetString(std::string_view section,
                                                  std::string_view key) const {
    const std::optional<std::string_view> found = Find(section, key);
    if (!found) {
        return std::nullopt;
    }
    std::string_view value = *found;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
}

int IniDocument::GetInt(std::string_view section, std::string_view key, int defaultValue) const {
    const std::optional<std::string_view> found = Find(section, key);
    if (!found || found->empty()) {
        return defaultValue;
    }
    std::string_view text = *found;
    bool negative = false;
    if (text.front() == '-' || text.front() == '+') {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // Unsigned arithmetic wraps as the Windows conversion does, without overflow.
    std::uint32_t result = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            break;
        }
        result = result * 10u + static_cast<std::uint32_t>(c - '0');
    }
    if (negative) {
        result = 0u - result;
    }
    return static_cast<int>(result);
}

bool IniDocument::GetStruct(std::string_view section, std::string_view key, void* data,
                            std::size_t size) const {
    const std::optional<std::string_view> found = Find(section, key);
    return found && DecodeProfileStruct(*found, data, size);
}

bool IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
    if (!WritableName(section) || !WritableName(key) || key.front() == '[' ||
        key.find('=') != std::string_view::npos || HasLineBreakOrNul(value)) {
        return false;
    }
    const KeyLocation where = Locate(text_, section, key);
    std::string updated;
    try {
        updated = text_;
        if (where.key) {
            // The key keeps its spelling in the file.
            std::string line(where.key->name);
            line.append("=").append(value).append(LineEnd);
            updated.replace(where.key->begin, where.key->next - where.key->begin, line);
        } else if (where.sectionFound) {
            // After the section's last filled line, so blank lines before the next section stay
            // where they are.
            std::string line;
            if (!where.lastFilled.terminated) {
                line.append(LineEnd);
            }
            line.append(key).append("=").append(value).append(LineEnd);
            updated.insert(where.lastFilled.next, line);
        } else {
            if (!updated.empty() && updated.back() != '\n') {
                updated.append(LineEnd);
            }
            updated.append("[").append(section).append("]").append(LineEnd);
            updated.append(key).append("=").append(value).append(LineEnd);
        }
    } catch (...) {
        return false;  // out of memory: the text is as it was
    }
    if (updated != text_) {
        text_ = std::move(updated);
        modified_ = true;
    }
    return true;
}

bool IniDocument::Remove(std::string_view section, std::string_view key) {
    const KeyLocation where = Locate(text_, section, key);
    if (!where.key) {
        return false;
    }
    try {
        std::string updated = text_;
        updated.erase(where.key->begin, where.key->next - where.key->begin);
        // The header of a section that now holds nothing goes with its last key, unless a later
        // section of the same name would then take its place.
        std::optional<Line> header;
        bool inSection = false;
        bool keep = false;
        ForEachLine(updated, [&](const Line& line) {
            if (line.kind == LineKind::Section) {
                inSection = !header && EqualNoCase(line.name, section);
                if (inSection) {
                    header = line;
                } else if (header && EqualNoCase(line.name, section)) {
                    keep = true;
                }
            } else if (inSection && line.kind != LineKind::Blank) {
                keep = true;
            }
            return !keep;
        });
        if (header && !keep) {
            updated.erase(header->begin, header->next - header->begin);
        }
        text_ = std::move(updated);
    } catch (...) {
        return false;  // out of memory: the text is as it was
    }
    modified_ = true;
    return true;
}

std::vector<std::string> IniDocument::Sections() const {
    std::vector<std::string> names;
    ForEachLine(text_, [&](const Line& line) {
        if (line.kind == LineKind::Section && !line.name.empty() &&
            std::none_of(names.begin(), names.end(),
                         [&](const std::string& known) { return EqualNoCase(known, line.name); })) {
            names.emplace_back(line.name);
        }
        return true;
    });
    return names;
}

bool IniDocument::SetStruct(std::string_view section, std::string_view key, const void* data,
                            std::size_t size) {
    return Set(section, key, EncodeProfileStruct(data, size));
}

std::string EncodeProfileStruct(const void* data, std::size_t size) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::string text;
    text.reserve(2 * size + 2);
    unsigned sum = 0;
    for (std::size_t i = 0; i < size; ++i) {
        text.push_back(Digits[bytes[i] >> 4]);
        text.push_back(Digits[bytes[i] & 0x0F]);
        sum += bytes[i];
    }
    text.push_back(Digits[(sum >> 4) & 0x0F]);
    text.push_back(Digits[sum & 0x0F]);
    return text;
}

bool DecodeProfileStruct(std::string_view text, void* data, std::size_t size) {
    if (text.size() != 2 * size + 2) {
        return false;
    }
    auto byteAt = [&](std::size_t i) {
        const int high = HexDigit(text[2 * i]);
        const int low = HexDigit(text[2 * i + 1]);
        return (high < 0 || low < 0) ? -1 : high * 16 + low;
    };
    // Checked whole before the first byte lands, so a bad value leaves `data` as it was.
    unsigned sum = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const int byte = byteAt(i);
        if (byte < 0) {
            return false;
        }
        sum += static_cast<unsigned>(byte);
    }
    if (byteAt(size) != static_cast<int>(sum & 0xFF)) {
        return false;
    }
    auto* bytes = static_cast<unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<unsigned char>(byteAt(i));
    }
    return true;
}

bool LoadIniDocument(const std::filesystem::path& file, IniDocument& document) {
    try {
        std::string text;
        const FileReadStatus status = ReadWholeFile(file, MaxIniFileSize, text);
        document = IniDocument(std::move(text));
        return status != FileReadStatus::Failed;
    } catch (...) {
        document = IniDocument();
        return false;
    }
}

int SaveIniDocument(const std::filesystem::path& file, const IniDocument& document) {
    return ReplaceFileAtomically(file, document.Text(), 0600, ModePolicy::KeepExisting);
}

namespace {

// Loads the file, applies `edit` and writes the result back when it changed anything.
template <typename Edit>
bool EditIniFile(const std::filesystem::path& file, Edit edit) {
    try {
        IniDocument document;
        if (!LoadIniDocument(file, document) || !edit(document)) {
            return false;
        }
        return !document.Modified() || SaveIniDocument(file, document) == ReplaceOk;
    } catch (...) {
        return false;  // out of memory: the file is as it was
    }
}

// Reads the value with `read` from the file, or gives `fallback` when even that fails.
template <typename Result, typename Read>
Result ReadIniFile(const std::filesystem::path& file, Result fallback, Read read) {
    try {
        IniDocument document;
        LoadIniDocument(file, document);
        return read(document);
    } catch (...) {
        return fallback;
    }
}

}  // namespace

bool GetPrivateProfileStructA(const char* section, const char* key, void* data, std::size_t size,
                              const std::filesystem::path& file) {
    if (section == nullptr || key == nullptr || (data == nullptr && size > 0)) {
        return false;
    }
    return ReadIniFile(file, false, [&](const IniDocument& document) {
        return document.GetStruct(section, key, data, size);
    });
}

bool WritePrivateProfileStructA(const char* section, const char* key, const void* data,
                                std::size_t size, const std::filesystem::path& file) {
    if (section == nullptr || key == nullptr || (data == nullptr && size > 0)) {
        return false;
    }
    return EditIniFile(
        file, [&](IniDocument& document) { return document.SetStruct(section, key, data, size); });
}

int GetPrivateProfileIntA(const char* section, const char* key, int defaultValue,
                          const std::filesystem::path& file) {
    if (section == nullptr || key == nullptr) {
        return defaultValue;
    }
    return ReadIniFile(file, defaultValue, [&](const IniDocument& document) {
        return document.GetInt(section, key, defaultValue);
    });
}

std::size_t GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue,
                                     char* buffer, std::size_t size,
                                     const std::filesystem::path& file) {
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    std::optional<std::string> value;
    if (section != nullptr && key != nullptr) {
        value = ReadIniFile(file, std::optional<std::string>(), [&](const IniDocument& document) {
            return document.GetString(section, key);
        });
    }
    std::string_view text;
    if (value) {
        text = *value;
    } else if (defaultValue != nullptr) {
        text = defaultValue;
        while (!text.empty() && IsBlank(text.back())) {
            text.remove_suffix(1);
        }
    }
    text = text.substr(0, std::min(text.find('\0'), size - 1));
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
    return text.size();
}

bool WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                                const std::filesystem::path& file) {
    if (section == nullptr || key == nullptr || value == nullptr) {
        return false;
    }
    return EditIniFile(file,
                       [&](IniDocument& document) { return document.Set(section, key, value); });
}

}  // namespace vemo
