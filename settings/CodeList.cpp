#include "settings/CodeList.h"

namespace vemo {

std::vector<std::string> SplitCodeList(std::string_view codeList) {
    std::vector<std::string> codes;
    while (!codeList.empty()) {
        const std::size_t comma = codeList.find(',');
        const std::string_view piece = codeList.substr(0, comma);
        if (!piece.empty()) {
            codes.emplace_back(piece);
        }
        if (comma == std::string_view::npos) {
            break;
        }
        codeList.remove_prefix(comma + 1);
    }
    return codes;
}

}  // namespace vemo
