#pragma once

#include <string>
#include <string_view>

namespace vemo::sim {

// UTF-8 to GBK for the names and notices the simulator sends. Characters that GBK cannot hold
// become '?', and a broken UTF-8 sequence is replaced the same way, so nothing is dropped
// silently. Kept apart from the program's own conversion so that the simulator checks it
// rather than sharing its faults.
std::string ToGbk(std::string_view utf8);

}  // namespace vemo::sim
