#pragma once

#include <string>
#include <string_view>

#include "tools/marketsim/Market.h"

namespace vemo::sim {

// The look-up answers of the two services: every listed security (and a few foreign ones that
// only the look-ups know) whose six-digit code or symbol begins with the key, whose pinyin
// initials begin with it or whose name contains it; letters without regard to case. `key` is
// the decoded UTF-8 text. Sina's answer is GBK and leaves out the Beijing exchange, which it
// does not quote; Tencent's writes every name as \uXXXX escapes.
std::string SinaLookupBody(std::string_view key, Market& market);
std::string TencentLookupBody(std::string_view key, Market& market);

}  // namespace vemo::sim
