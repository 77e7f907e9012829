#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vemo {

// The value of a hexadecimal digit of either case, or -1.
constexpr int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// Larger files are not settings or answer files; they read as unreadable and are never rewritten.
inline constexpr std::size_t MaxIniFileSize = 32 * 1024 * 1024;

// The text of an INI file, read and edited the way the Windows private-profile functions do:
// "[section]" lines, "key=value" lines, names matched without regard to (ASCII) case, the first
// matching section and the first matching key in it win, blanks around names and values do not
// count, LF and CR LF both end a line. An edit creates or replaces one key and leaves every other
// byte of the text as it was; the lines it writes end in CR LF.
class IniDocument {
  public:
    IniDocument() = default;
    explicit IniDocument(std::string text) : text_(std::move(text)) {}

    // The value of `key` in `section`, blanks trimmed; nullopt when the key is absent. A line
    // without "=" is not a key.
    std::optional<std::string_view> Find(std::string_view section, std::string_view key) const;

    // As GetPrivateProfileString: the value with one pair of enclosing quotes (" or ') removed.
    std::optional<std::string> GetString(std::string_view section, std::string_view key) const;
    // As GetPrivateProfileInt: optional sign and the leading decimal digits (no digits: 0), taken
    // modulo 2^32; `defaultValue` when the key is absent or its value empty.
    int GetInt(std::string_view section, std::string_view key, int defaultValue) const;
    // As GetPrivateProfileStruct: fills `data` only when the value is exactly 2 * size + 2 hex
    // digits whose last two are the checksum of the others; `data` is untouched otherwise.
    bool GetStruct(std::string_view section, std::string_view key, void* data,
                   std::size_t size) const;

    // Creates or replaces the key; the section is appended at the end when missing. Returns
    // false, changing nothing, for names and values that cannot stand in one line as written
    // (line breaks, NUL, "=" in a key, a key that would read as a section, blanks around names).
    bool Set(std::string_view section, std::string_view key, std::string_view value);
    bool SetStruct(std::string_view section, std::string_view key, const void* data,
                   std::size_t size);
    // Removes the key's line from the first section of that name; a section left without any
    // filled line loses its header too. Returns whether anything was removed.
    bool Remove(std::string_view section, std::string_view key);

    // The names of the sections in the order they first appear, each name once (without regard
    // to case; the first spelling wins), empty names left out.
    std::vector<std::string> Sections() const;

    const std::string& Text() const { return text_; }
    // Whether an edit changed the text (rewriting a value with itself does not).
    bool Modified() const { return modified_; }

  private:
    std::string text_;
    bool modified_ = false;
};

// The block encoding: each byte as two upper-case hex digits, then the low 8 bits of the byte
// sum as two more.
std::string EncodeProfileStruct(const void* data, std::size_t size);
bool DecodeProfileStruct(std::string_view text, void* data, std::size_t size);

// Reads `file`. A missing file gives an empty document and true; a file that exists but cannot
// be read gives an empty document and false, and must then not be written over.
bool LoadIniDocument(const std::filesystem::path& file, IniDocument& document);
// Replaces `file` with the document's text atomically: 0, or one of ReplaceFileAtomically's
// negative results. A new file is made with mode 0600; an existing one keeps its mode.
int SaveIniDocument(const std::filesystem::path& file, const IniDocument& document);

// The private-profile functions over a file, argument order as on Windows. The writes read the
// file, edit it in memory and replace it atomically; they return false when the file could not
// be read or written (the file is then as it was), and write nothing when nothing changed.
bool GetPrivateProfileStructA(const char* section, const char* key, void* data, std::size_t size,
                              const std::filesystem::path& file);
bool WritePrivateProfileStructA(const char* section, const char* key, const void* data,
                                std::size_t size, const std::filesystem::path& file);
int GetPrivateProfileIntA(const char* section, const char* key, int defaultValue,
                          const std::filesystem::path& file);
// Copies the value (or `defaultValue`, trailing blanks removed) up to its first NUL into
// `buffer`, at most size - 1 bytes and a terminator; returns the number of bytes before the
// terminator.
std::size_t GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue,
                                     char* buffer, std::size_t size,
                                     const std::filesystem::path& file);
bool WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                                const std::filesystem::path& file);

}  // namespace vemo
