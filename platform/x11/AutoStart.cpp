#include "platform/x11/AutoStart.h"

#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "settings/AtomicFile.h"
#include "settings/SettingsStore.h"
#include "settings/UserFolders.h"

namespace vemo {

namespace {

constexpr mode_t FolderMode = 0700;
constexpr mode_t EntryMode = 0644;

// Well-formed UTF-8 (shortest forms, no surrogates), as every desktop entry must be.
bool IsUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        int more = 0;
        unsigned min = 0;
        unsigned code = 0;
        if (b < 0x80) {
            ++i;
            continue;
        } else if ((b & 0xE0) == 0xC0) {
            more = 1, min = 0x80, code = b & 0x1Fu;
        } else if ((b & 0xF0) == 0xE0) {
            more = 2, min = 0x800, code = b & 0x0Fu;
        } else if ((b & 0xF8) == 0xF0) {
            more = 3, min = 0x10000, code = b & 0x07u;
        } else {
            return false;
        }
        if (text.size() - i <= static_cast<std::size_t>(more)) {
            return false;
        }
        for (int k = 1; k <= more; ++k) {
            const auto c = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((c & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (c & 0x3Fu);
        }
        if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        i += static_cast<std::size_t>(more) + 1;
    }
    return true;
}

}  // namespace

std::filesystem::path AutoStartEntryPath() {
    const std::filesystem::path config = ConfigHomeFolder();
    if (config.empty()) {
        return {};
    }
    return config / "autostart" / "VEMO.desktop";
}

std::string DesktopExecValue(std::string_view program) {
    if (program.empty() || !IsUtf8(program)) {
        return {};
    }
    // The argument is always quoted, so blanks and the other reserved characters need nothing
    // more; inside the quotes four characters take a backslash, and % is a field code unless
    // doubled.
    std::string quoted = "\"";
    for (const char c : program) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (c == '%') {
            quoted += "%%";
        } else {
            quoted += c;
        }
    }
    quoted += '"';
    // The value is read as a string first, whose own escapes come off before the quoting is
    // looked at: every backslash of the quoting is doubled again.
    std::string value;
    for (const char c : quoted) {
        switch (c) {
            case '\\':
                value += "\\\\";
                break;
            case '\n':
                value += "\\n";
                break;
            case '\t':
                value += "\\t";
                break;
            case '\r':
                value += "\\r";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                    return {};
                }
                value += c;
                break;
        }
    }
    return value;
}

std::string AutoStartEntryText(std::string_view program) {
    const std::string exec = DesktopExecValue(program);
    if (exec.empty()) {
        return {};
    }
    std::string text =
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=VEMO\n"
        "Comment=股票行情小窗\n"
        "Exec=";
    text += exec;
    text +=
        "\n"
        "Terminal=false\n"
        "X-GNOME-Autostart-enabled=true\n";
    return text;
}

int SetAutoStartEntry(const std::filesystem::path& entry, std::string_view program, int enable) {
    if (entry.empty() || !entry.has_parent_path() ||
        !CreateFolders(entry.parent_path(), FolderMode)) {
        return AutoStartNoFolder;
    }
    if (enable == 0) {
        return ::unlink(entry.c_str()) == 0 ? AutoStartOk : AutoStartFailed;
    }
    try {
        const std::string text = AutoStartEntryText(program);
        if (text.empty()) {
            return AutoStartFailed;
        }
        return ReplaceFileAtomically(entry, text, EntryMode) == ReplaceOk ? AutoStartOk
                                                                          : AutoStartFailed;
    } catch (...) {
        return AutoStartFailed;
    }
}

int SetAutoStart(int enable) {
    std::string program;
    if (enable != 0) {
        program = RunningProgramFile().string();
        if (program.empty()) {
            return AutoStartFailed;
        }
    }
    try {
        return SetAutoStartEntry(AutoStartEntryPath(), program, enable);
    } catch (...) {
        return AutoStartFailed;
    }
}

}  // namespace vemo
