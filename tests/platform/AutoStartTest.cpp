#include "platform/x11/AutoStart.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/x11/X11Platform.h"
#include "tests/support/TestFiles.h"

namespace vemo {
namespace {

using test::ReadBytes;
using test::ScopedEnv;
using test::TempDir;
namespace fs = std::filesystem;

// A desktop-entry reader's view of an entry: the "Exec" key of the [Desktop Entry] group,
// unescaped as a string value, split into arguments by the quoting rules and with %% made %.
// nullopt where a reader would reject the entry.
std::optional<std::vector<std::string>> ReadExecArguments(const std::string& file) {
    std::istringstream lines(file);
    std::string line;
    bool inGroup = false;
    std::optional<std::string> raw;
    while (std::getline(lines, line)) {
        if (!line.empty() && line[0] == '[') {
            inGroup = line == "[Desktop Entry]";
        } else if (inGroup && line.rfind("Exec=", 0) == 0) {
            raw = line.substr(5);
        }
    }
    if (!raw) {
        return std::nullopt;
    }
    std::string value;
    for (std::size_t i = 0; i < raw->size(); ++i) {
        const char c = (*raw)[i];
        if (static_cast<unsigned char>(c) < 0x20) {
            return std::nullopt;
        }
        if (c != '\\') {
            value += c;
            continue;
        }
        if (++i == raw->size()) {
            return std::nullopt;
        }
        switch ((*raw)[i]) {
            case 's':
                value += ' ';
                break;
            case 'n':
                value += '\n';
                break;
            case 't':
                value += '\t';
                break;
            case 'r':
                value += '\r';
                break;
            case '\\':
                value += '\\';
                break;
            default:
                return std::nullopt;
        }
    }
    std::vector<std::string> arguments;
    std::string current;
    bool inArgument = false;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == ' ') {
            if (inArgument) {
                arguments.push_back(current);
                current.clear();
                inArgument = false;
            }
            continue;
        }
        inArgument = true;
        if (c == '"') {
            for (++i;; ++i) {
                if (i >= value.size()) {
                    return std::nullopt;  // unterminated quote
                }
                const char q = value[i];
                if (q == '"') {
                    break;
                }
                // Inside quotes these two must be escaped too.
                if (q == '`' || q == '$') {
                    return std::nullopt;
                }
                if (q == '\\') {
                    if (++i >= value.size()) {
                        return std::nullopt;
                    }
                    const char e = value[i];
                    if (e != '"' && e != '`' && e != '$' && e != '\\') {
                        return std::nullopt;
                    }
                    current += e;
                    continue;
                }
                current += q;
            }
            continue;
        }
        // Outside quotes a reserved character makes the entry invalid.
        if (std::string_view("\t\n'\\><~|&;$*?#()`\"").find(c) != std::string_view::npos) {
            return std::nullopt;
        }
        current += c;
    }
    if (inArgument) {
        arguments.push_back(current);
    }
    // Field codes: %% is a percent sign; a lone % of ours would be read as a code.
    for (std::string& argument : arguments) {
        std::string plain;
        for (std::size_t i = 0; i < argument.size(); ++i) {
            if (argument[i] == '%') {
                if (i + 1 >= argument.size() || argument[i + 1] != '%') {
                    return std::nullopt;
                }
                ++i;
            }
            plain += argument[i];
        }
        argument = plain;
    }
    return arguments;
}

class AutoStartTest : public ::testing::Test {
  protected:
    TempDir dir_;
    fs::path entry_ = dir_.path() / "config" / "autostart" / "VEMO.desktop";
};

// What desktop-file-validate says of the entry: empty when it has no error and no warning.
std::string ValidatorComplaints(const fs::path& entry) {
    const std::string command = "desktop-file-validate '" + entry.string() + "' 2>&1";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return "desktop-file-validate could not be started";
    }
    std::string output;
    char chunk[256];
    while (std::fgets(chunk, sizeof chunk, pipe) != nullptr) {
        output += chunk;
    }
    const int status = ::pclose(pipe);
    if (status != 0 && output.empty()) {
        output = "desktop-file-validate ended with status " + std::to_string(status);
    }
    return output;
}

TEST_F(AutoStartTest, AnyProgramPathReadsBackAsTheOneArgument) {
    const std::vector<std::string> programs = {
        "/opt/vemo/VEMO",
        "/home/li ming/我的 程序/VEMO",
        "/tmp/a \"quoted\" name/VEMO",
        "/tmp/100% sure/%u/VEMO",
        "/tmp/$HOME and `date`/VEMO",
        "/tmp/back\\slash\\\\twice/VEMO",
        "/tmp/it's (odd) & <more>; #|*?~/VEMO",
        "/tmp/tab\there/new\nline/VEMO",
    };
    for (const std::string& program : programs) {
        SCOPED_TRACE(program);
        ASSERT_EQ(SetAutoStartEntry(entry_, program, 1), AutoStartOk);
        const std::string file = ReadBytes(entry_);
        const auto arguments = ReadExecArguments(file);
        ASSERT_TRUE(arguments.has_value()) << file;
        EXPECT_EQ(*arguments, std::vector<std::string>{program});
        EXPECT_NE(file.find("[Desktop Entry]\n"), std::string::npos);
        EXPECT_NE(file.find("\nType=Application\n"), std::string::npos);
        EXPECT_EQ(ValidatorComplaints(entry_), "") << file;
    }
}

TEST_F(AutoStartTest, RegisterReplacesAndUnregisterRemoves) {
    ASSERT_EQ(SetAutoStartEntry(entry_, "/old place/VEMO", 1), AutoStartOk);
    ASSERT_EQ(SetAutoStartEntry(entry_, "/new place/VEMO", 1), AutoStartOk);
    EXPECT_EQ(*ReadExecArguments(ReadBytes(entry_)), std::vector<std::string>{"/new place/VEMO"});
    // Written through a temporary file: nothing but the entry is left in the folder.
    EXPECT_EQ(test::Entries(entry_.parent_path()), std::vector<std::string>{"VEMO.desktop"});
    EXPECT_EQ(test::ModeOf(entry_), 0644u);

    EXPECT_EQ(SetAutoStartEntry(entry_, "", 0), AutoStartOk);
    EXPECT_FALSE(fs::exists(entry_));
    // Nothing left to remove: a failure that changes nothing.
    EXPECT_EQ(SetAutoStartEntry(entry_, "", 0), AutoStartFailed);
    EXPECT_FALSE(fs::exists(entry_));
}

TEST_F(AutoStartTest, FailuresAreReportedAndLeaveNoEntry) {
    // The autostart folder cannot be made where a file stands in its way.
    test::WriteBytes(dir_.path() / "config", "not a folder");
    EXPECT_EQ(SetAutoStartEntry(entry_, "/opt/VEMO", 1), AutoStartNoFolder);
    EXPECT_EQ(SetAutoStartEntry(entry_, "", 0), AutoStartNoFolder);
    EXPECT_EQ(SetAutoStartEntry(fs::path(), "/opt/VEMO", 1), AutoStartNoFolder);

    // A path a desktop entry cannot hold (not UTF-8, or a control character).
    const fs::path other = dir_.path() / "other" / "VEMO.desktop";
    EXPECT_EQ(SetAutoStartEntry(other, "/tmp/\xD6\xD0/VEMO", 1), AutoStartFailed);
    EXPECT_EQ(SetAutoStartEntry(other, std::string("/tmp/a\x01/VEMO"), 1), AutoStartFailed);
    EXPECT_EQ(SetAutoStartEntry(other, "", 1), AutoStartFailed);
    EXPECT_FALSE(fs::exists(other));
}

TEST_F(AutoStartTest, RunningProgramUnderTheConfigFolderOfTheEnvironment) {
    ScopedEnv config("XDG_CONFIG_HOME", (dir_.path() / "config").string());
    EXPECT_EQ(AutoStartEntryPath(), entry_);
    ASSERT_EQ(SetAutoStart(1), AutoStartOk);
    const fs::path self = fs::read_symlink("/proc/self/exe");
    EXPECT_EQ(*ReadExecArguments(ReadBytes(entry_)), std::vector<std::string>{self.string()});
    EXPECT_EQ(SetAutoStart(0), AutoStartOk);
    EXPECT_FALSE(fs::exists(entry_));
    EXPECT_EQ(SetAutoStart(0), AutoStartFailed);

    // A relative value is ignored: the home folder's .config is used.
    ScopedEnv relative("XDG_CONFIG_HOME", std::string("relative/config"));
    ScopedEnv home("HOME", (dir_.path() / "home").string());
    EXPECT_EQ(AutoStartEntryPath(),
              dir_.path() / "home" / ".config" / "autostart" / "VEMO.desktop");
}

TEST_F(AutoStartTest, ThePlatformReportsTheEntryAsItStandsNow) {
    ScopedEnv config("XDG_CONFIG_HOME", (dir_.path() / "config").string());
    X11Platform platform;
    EXPECT_FALSE(platform.StartsAtLogOn());
    ASSERT_EQ(platform.SetStartAtLogOn(1), AutoStartOk);
    EXPECT_TRUE(platform.StartsAtLogOn());
    // Removed behind the program's back.
    fs::remove(entry_);
    EXPECT_FALSE(platform.StartsAtLogOn());
    // A folder where the entry belongs starts nothing.
    fs::create_directories(entry_);
    EXPECT_FALSE(platform.StartsAtLogOn());
}

}  // namespace
}  // namespace vemo
