#pragma once

namespace vemo {

// The build number travels in the settings file, the quote links and the update requests.
inline constexpr int BuildNumber = 43;
inline constexpr char VersionText[] = "VEMO 2.0.4.3";

}  // namespace vemo
