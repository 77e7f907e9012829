#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/IniFile.h"

namespace vemo {

// ${XDG_CONFIG_HOME:-$HOME/.config}/Quorvane/VemoMonitor, the folder of the per-user files; empty
// without a home folder.
std::filesystem::path PerUserFolder();

// Results of PerCodeFile::Save beyond ReplaceFileAtomically's own.
inline constexpr int SaveNoFolder = -10;    // the file's folder is missing and cannot be made
inline constexpr int SaveUnreadable = -11;  // the file could not be read, so it is not written over

struct FileSaveResult {
    int code = 0;        // 0 (ReplaceOk), a negative ReplaceFileAtomically result, or Save*
    std::string reason;  // why, in words for the user; empty on success
    bool Ok() const { return code == 0; }
};

// A UTF-8 INI file beside the per-user store with one section per quote code, such as
// holdings.ini. Everything the program does not touch is kept on save: unknown sections and
// keys, and the sections of codes that are no longer watched.
class PerCodeFile {
  public:
    PerCodeFile() = default;
    explicit PerCodeFile(std::filesystem::path file) : file_(std::move(file)) {}
    // `name` in PerUserFolder().
    static PerCodeFile InUserFolder(std::string_view name);

    // (Re)reads the file; a missing file reads as empty. False when it exists but could not be
    // read: it then reads as empty and Save refuses to write over it.
    bool Load();

    const std::filesystem::path& Path() const { return file_; }
    // The codes (section names) in file order.
    std::vector<std::string> Codes() const { return document_.Sections(); }
    // The value, blanks around it trimmed; nullopt when the key is absent.
    std::optional<std::string> Get(std::string_view code, std::string_view key) const;
    // False, changing nothing, for names or values that cannot stand on one line.
    bool Set(std::string_view code, std::string_view key, std::string_view value);
    // Removes the key; a section left empty goes too.
    void Remove(std::string_view code, std::string_view key);
    // Whether Set or Remove changed the text since the last Load or Save.
    bool Modified() const { return modified_; }

    // Replaces the file atomically (mode 0600 for a new file, an existing one keeps its mode),
    // creating its folder when needed. On failure the file is as it was and the result says
    // why. Writes nothing when nothing was changed.
    FileSaveResult Save();

  private:
    std::filesystem::path file_;
    IniDocument document_;
    bool readable_ = true;
    bool modified_ = false;
};

}  // namespace vemo
