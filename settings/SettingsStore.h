#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "settings/TickerSettings.h"

namespace vemo {

// Registry value types as the per-user store keeps them.
inline constexpr std::uint32_t RegSz = 1;     // REG_SZ
inline constexpr std::uint32_t RegDword = 4;  // REG_DWORD

// Where the settings live: the settings file beside the program and the per-user store that
// stands in for the program's registry key.
struct SettingsFiles {
    std::filesystem::path iniFile;  // <program folder>/vemo.ini
    // ${XDG_CONFIG_HOME:-$HOME/.config}/Quorvane/VemoMonitor/registry
    std::filesystem::path appStore;
};

// The running program's file (empty when it cannot be told).
std::filesystem::path RunningProgramFile();
// The folder of the running program, where its settings file lives.
std::filesystem::path ProgramFolder();
// The per-user store's path from the environment.
std::filesystem::path DefaultAppStorePath();
// vemo.ini in `programFolder` and the per-user store.
SettingsFiles SettingsFilesFor(const std::filesystem::path& programFolder);
// The folder of vemo.ini for a program in `programFolder`: that folder itself when this user may
// write it (a portable folder), else the per-user folder of the store (an installed program, whose
// folder belongs to the package manager), created for this user alone when it is missing.
std::filesystem::path SettingsFolderFor(const std::filesystem::path& programFolder);
// The settings of the running program: SettingsFilesFor(SettingsFolderFor(ProgramFolder())).
SettingsFiles RunningProgramSettingsFiles();

// Fills the record from the settings file with every fallback; returns 1 when all three blocks
// came from the file, else 0 after writing the whole record back with SaveSettings.
int LoadSettings(TickerSettings& settings, const SettingsFiles& files);
// Writes the three blocks, "fontsize", "version" and the store's copy of the code list;
// returns 1 when every write succeeded, else 0, and `problem` then names the first file that
// could not be written and why (SaveFailureMessage).
int SaveSettings(const TickerSettings& settings, const SettingsFiles& files);
int SaveSettings(const TickerSettings& settings, const SettingsFiles& files, std::string& problem);
// Returns 1 when "wstat" was read; else clears `transparent`, writes the record and returns 0.
int LoadWindowState(WindowState& state, const SettingsFiles& files);
// Returns 1 when the write succeeded, else 0 with the reason in `problem`.
int SaveWindowState(const WindowState& state, const SettingsFiles& files);
int SaveWindowState(const WindowState& state, const SettingsFiles& files, std::string& problem);

// What the end of a run saves: the window state, then the settings. Each failure is one line on
// `errors` (there is no window left to tell); returns whether both were saved.
bool SaveAtExit(const WindowState& state, const TickerSettings& settings, const SettingsFiles& files,
                std::FILE* errors);

// The per-user store: 0 on success, negative on failure (the codes are in settings/AppStore.h).
// A read copies the value's bytes when they fit in `size`, and after a string a terminator when
// there is room; a value that does not fit fails and leaves the buffer untouched. A write takes
// RegSz (any bytes, exactly `size` of them) or RegDword (4 bytes). Writers, from any thread or
// process, hold an exclusive flock on the store's folder while they change the file, so no write
// loses another's value.
int ReadAppValue(const std::filesystem::path& store, const char* name, void* buffer,
                 std::uint32_t size);
int WriteAppValue(const std::filesystem::path& store, const char* name, std::uint32_t type,
                  const void* data, std::uint32_t size);

// The two fallbacks of LoadSettings. The first fills the zero-filled code list from the store's
// "VemoCode" and returns whether it did; the second fills the proxy fields of `settings` (the
// "sp" block) from the environment's http_proxy and returns whether the system settings could
// be read (always, on this platform).
bool ImportCodeListFromRegistry(const std::filesystem::path& store, char (&codeList)[CodeListSize]);
bool ImportIeProxy(TickerSettings& settings);

}  // namespace vemo
