# The settings library's sources: listed once for its own build and for the fuzz targets.
set(vemo_settings_sources
  AlertRules.cpp AlertSwitch.cpp AlertsFile.cpp AppStore.cpp AtomicFile.cpp CodeList.cpp
  IniFile.cpp PerCodeFile.cpp SaveFailure.cpp SettingsStore.cpp TickerSettings.cpp
  UserFolders.cpp)
