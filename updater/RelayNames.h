#pragma once

// The files of the update relay in the program's folder, named once for both programs: VEMO
// downloads the new program and writes the updater, the updater moves the old program aside and
// the new one into its place, and the next VEMO removes what is left. Header only: the updater
// links nothing of VEMO's.

namespace vemo {

inline constexpr char NewProgramName[] = "VEMO.new";
inline constexpr char OldProgramName[] = "VEMO.old";
inline constexpr char UpdaterName[] = "VemoUpdater";

}  // namespace vemo
