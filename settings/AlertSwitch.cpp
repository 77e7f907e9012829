#include "settings/AlertSwitch.h"

#include "settings/AtomicFile.h"
#include "settings/IniFile.h"

namespace vemo {

namespace {
constexpr char Section[] = "UserSet";
constexpr char Key[] = "alerts";
}  // namespace

bool LoadAlertsOn(const SettingsFiles& files) {
    IniDocument ini;
    LoadIniDocument(files.iniFile, ini);
    return ini.GetInt(Section, Key, 1) != 0;
}

bool SaveAlertsOn(bool on, const SettingsFiles& files) {
    IniDocument ini;
    if (!LoadIniDocument(files.iniFile, ini)) {
        return false;
    }
    ini.Set(Section, Key, on ? "1" : "0");
    return !ini.Modified() || SaveIniDocument(files.iniFile, ini) == ReplaceOk;
}

}  // namespace vemo
