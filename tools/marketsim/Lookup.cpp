#include "tools/marketsim/Lookup.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

#include "tools/marketsim/GbkText.h"
#include "tools/marketsim/HttpMessage.h"

namespace vemo::sim {

namespace {

struct Entry {
    const char* symbol;
    const char* pinyin;
    const char* name;  // only for securities that are not listed; listed ones use their own
};

// In the order the services answer: the listing's order, the foreign entries last.
constexpr Entry Entries[] = {
    {"sh000001", "szzs", nullptr},
    {"sh000002", "agzs", nullptr},
    {"sh000003", "bgzs", nullptr},
    {"sh000004", "gyzs", nullptr},
    {"sh000005", "syzs", nullptr},
    {"sh000006", "dczs", nullptr},
    {"sh000007", "gyzs", nullptr},
    {"sh000008", "zhzs", nullptr},
    {"sh000009", "sz380", nullptr},
    {"sh000010", "sz180", nullptr},
    {"sh000011", "jjzs", nullptr},
    {"sh000012", "gzzs", nullptr},
    {"sh000016", "sz50", nullptr},
    {"sh000300", "hs300", nullptr},
    {"sz399001", "szcz", nullptr},
    {"sz399005", "zx100", nullptr},
    {"sz399006", "cybz", nullptr},
    {"sz399106", "szzz", nullptr},
    {"sz399300", "hs300", nullptr},
    {"sz399330", "sz100", nullptr},
    {"sh600000", "pfyh", nullptr},
    {"sh600028", "zgsh", nullptr},
    {"sh600030", "zxzq", nullptr},
    {"sh600036", "zsyh", nullptr},
    {"sh600519", "gzmt", nullptr},
    {"sh600900", "cjdl", nullptr},
    {"sh601006", "dqtl", nullptr},
    {"sh601318", "zgpa", nullptr},
    {"sh601398", "gsyh", nullptr},
    {"sh601857", "zgsy", nullptr},
    {"sh688981", "zxgj", nullptr},
    {"sz000001", "payh", nullptr},
    {"sz000002", "wka", nullptr},
    {"sz000333", "mdjt", nullptr},
    {"sz000651", "gldq", nullptr},
    {"sz000858", "wly", nullptr},
    {"sz002415", "hkws", nullptr},
    {"sz002594", "byd", nullptr},
    {"sz300015", "aeyk", nullptr},
    {"sz300059", "dfcf", nullptr},
    {"sz300750", "ndsd", nullptr},
    {"sz300760", "mryl", nullptr},
    {"sz200596", "gjgb", nullptr},
    {"sz200625", "cab", nullptr},
    {"sz200869", "zyb", nullptr},
    {"sh900901", "ysbg", nullptr},
    {"sh900905", "lfxb", nullptr},
    {"sh900932", "ljbg", nullptr},
    {"sh510050", "50etf", nullptr},
    {"sh510300", "hs300etf", nullptr},
    {"sh510500", "500etf", nullptr},
    {"sz159915", "cybetf", nullptr},
    {"sz159919", "300etf", nullptr},
    {"bj899050", "bz50", nullptr},
    {"bj430047", "nsld", nullptr},
    {"bj830799", "arrj", nullptr},
    // Only the look-ups know these: a Shanghai convertible bond, Hong Kong and US shares.
    {"sh113050", "nyzz", "南银转债"},
    {"hk00700", "txkg", "腾讯控股"},
    {"gb_aapl", "pg", "苹果"},
};

struct Found {
    std::string symbol;
    std::string code;
    std::string name;  // UTF-8
    std::string pinyin;
    SecurityKind kind;
    bool foreign;
};

std::vector<Found> Matches(std::string_view key, Market& market) {
    std::vector<Found> found;
    const std::string lowerKey = ToLower(key);
    if (lowerKey.empty()) {
        return found;
    }
    for (const Entry& entry : Entries) {
        const std::string_view symbol = entry.symbol;
        const Security* security = entry.name == nullptr ? market.Find(symbol) : nullptr;
        if (entry.name == nullptr && security == nullptr) {
            continue;
        }
        const std::string name = security != nullptr ? security->nameUtf8 : entry.name;
        const std::string_view code = symbol.substr(symbol.starts_with("gb_") ? 3 : 2);
        const bool hit = ToLower(code).starts_with(lowerKey) || symbol.starts_with(lowerKey) ||
                         std::string_view(entry.pinyin).starts_with(lowerKey) ||
                         ToLower(name).find(lowerKey) != std::string::npos;
        if (hit) {
            found.push_back({std::string(symbol), std::string(code), name, entry.pinyin,
                             KindOf(symbol), entry.name != nullptr});
        }
    }
    return found;
}

// The UTF-8 text with every character outside ASCII as \uXXXX (a surrogate pair above U+FFFF).
std::string Escaped(std::string_view utf8) {
    std::string out;
    char escape[8];
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        length = std::min(length, utf8.size() - i);
        if (length == 1) {
            out += utf8[i++];
            continue;
        }
        char32_t c = lead & (length == 2 ? 0x1F : length == 3 ? 0x0F : 0x07);
        for (std::size_t k = 1; k < length; ++k) {
            c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        i += length;
        const auto write = [&](unsigned unit) {
            std::snprintf(escape, sizeof escape, "\\u%04x", unit);
            out += escape;
        };
        if (c >= 0x10000) {
            write(0xD800 + ((c - 0x10000) >> 10));
            write(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            write(static_cast<unsigned>(c));
        }
    }
    return out;
}

}  // namespace

std::string SinaLookupBody(std::string_view key, Market& market) {
    std::string rows;
    for (const Found& f : Matches(key, market)) {
        std::string type;
        if (f.symbol.starts_with("hk")) {
            type = "31";
        } else if (f.symbol.starts_with("gb_")) {
            type = "41";
        } else if (f.symbol.starts_with("bj")) {
            continue;  // Sina does not quote the Beijing exchange
        } else if (f.foreign) {
            type = "15";
        } else {
            switch (f.kind) {
                case SecurityKind::Fund:
                    type = "22";
                    break;
                case SecurityKind::BShareShanghai:
                case SecurityKind::BShareShenzhen:
                    type = "12";
                    break;
                default:
                    type = "11";
            }
        }
        rows += rows.empty() ? "" : ";";
        rows += f.name + "," + type + "," + f.code + "," + f.symbol + "," + f.name + ",," + f.name +
                ",99,1,,";
    }
    return "var suggestvalue=\"" + ToGbk(rows) + "\";\n";
}

std::string TencentLookupBody(std::string_view key, Market& market) {
    std::string rows;
    for (const Found& f : Matches(key, market)) {
        std::string marketName = f.symbol.substr(0, 2);
        std::string code = f.code;
        std::string type;
        if (f.symbol.starts_with("gb_")) {
            marketName = "us";
            for (char& c : code) {
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            }
            code += ".OQ";
            type = "GP";
        } else if (marketName == "hk") {
            type = "GP";
        } else if (f.foreign) {
            type = "KZZ";
        } else {
            switch (f.kind) {
                case SecurityKind::Index:
                    type = "ZS";
                    break;
                case SecurityKind::Fund:
                    type = "ETF";
                    break;
                case SecurityKind::BShareShanghai:
                case SecurityKind::BShareShenzhen:
                    type = "GP-B";
                    break;
                case SecurityKind::GrowthStock:
                    type = f.code.starts_with("688") ? "GP-A-KCB" : "GP-A";
                    break;
                default:
                    type = "GP-A";
            }
        }
        rows += rows.empty() ? "" : "^";
        rows += marketName + "~" + code + "~" + Escaped(f.name) + "~" + f.pinyin + "~" + type;
    }
    return "v_hint=\"" + (rows.empty() ? std::string("N") : rows) + "\"\n";
}

}  // namespace vemo::sim
