#pragma once

#include "settings/SettingsStore.h"

namespace vemo {

// Whether alerts are told (the menu's 提醒): the key "alerts" of vemo.ini's UserSet, 1 or 0,
// on when absent. A key of its own, so that the settings blocks and older readers are untouched.
bool LoadAlertsOn(const SettingsFiles& files);
// True when the value is in the file afterwards. A file that cannot be read is left alone.
bool SaveAlertsOn(bool on, const SettingsFiles& files);

}  // namespace vemo
