#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vemo {

// The pieces of a code list: ",1A0001,,399001" gives "1A0001" and "399001"; "," gives none.
std::vector<std::string> SplitCodeList(std::string_view codeList);

}  // namespace vemo
