#include "quotes/Suggest.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "quotes/Gbk.h"
#include "quotes/QuoteParsers.h"
#include "quotes/QuoteUrl.h"

namespace vemo {

namespace {

constexpr char SinaLookupBase[] =
    "http://suggest3.sinajs.cn/suggest/type=11,12,15,21,22,23,24,25,26&key=";
constexpr char TencentLookupBase[] = "http://smartbox.gtimg.cn/s3/?v=2&q=";

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    while (true) {
        const std::size_t at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos) {
            return parts;
        }
        text.remove_prefix(at + 1);
    }
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The quoted value of `prefix"...";` filling the whole body (blanks around it and the final
// semicolon optional); false for anything else, a cut-off answer included.
bool QuotedValue(std::string_view body, std::string_view prefix, std::string_view& value) {
    body = TrimBlanks(body);
    if (!body.starts_with(prefix)) {
        return false;
    }
    body.remove_prefix(prefix.size());
    if (body.ends_with(';')) {
        body.remove_suffix(1);
    }
    body = TrimBlanks(body);
    if (body.size() < 1 || body.back() != '"') {
        return false;
    }
    body.remove_suffix(1);
    value = body;
    return true;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The four hexadecimal digits at `at`, or -1.
long HexQuad(std::string_view text, std::size_t at) {
    if (at + 4 > text.size()) {
        return -1;
    }
    long value = 0;
    for (std::size_t i = at; i < at + 4; ++i) {
        const char c = text[i];
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0) {
            return -1;
        }
        value = value * 16 + digit;
    }
    return value;
}

// Tencent writes names as \uXXXX escapes; a pair of surrogates is one character and a lone
// surrogate becomes U+FFFD. Anything else stays as it is.
std::string DecodeEscapes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const long unit = text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'u'
                              ? HexQuad(text, i + 2)
                              : -1;
        if (unit < 0) {
            out += text[i];
            continue;
        }
        i += 5;
        char32_t c = static_cast<char32_t>(unit);
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            const long low = i + 2 < text.size() && text[i + 1] == '\\' && text[i + 2] == 'u'
                                 ? HexQuad(text, i + 3)
                                 : -1;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
                    (static_cast<char32_t>(low) - 0xDC00);
                i += 6;
            } else {
                c = 0xFFFD;
            }
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            c = 0xFFFD;
        }
        AppendUtf8(out, c);
    }
    return out;
}

// The UTF-8 text cut to `maxChars` characters, control characters (C0, DEL, C1) replaced by '?'
// so that a hostile answer cannot steer a terminal or break a tab-separated line.
std::string DisplayText(std::string_view utf8, std::size_t maxChars) {
    std::string out;
    std::size_t chars = 0;
    std::size_t i = 0;
    while (i < utf8.size() && chars < maxChars) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        const std::string_view character = utf8.substr(i, length);
        const bool c1 = lead == 0xC2 && character.size() == 2 &&
                        static_cast<unsigned char>(character[1]) <= 0x9F;
        if (lead < 0x20 || lead == 0x7F || c1) {
            out += '?';
        } else {
            out.append(character);
        }
        i += length;
        ++chars;
    }
    return out;
}

bool IsDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool IsMarketSymbol(std::string_view symbol) {
    return symbol.size() == 8 &&
           (symbol.starts_with("sh") || symbol.starts_with("sz") || symbol.starts_with("bj")) &&
           IsDigits(symbol.substr(2));
}

bool IsIndexSymbol(std::string_view symbol) {
    return symbol.starts_with("sh000") || symbol.starts_with("sz399");
}

// Adds the match unless its code is already there or the list is full.
void Collect(std::vector<SecurityMatch>& matches, SecurityMatch match) {
    if (matches.size() >= MaxMatches || match.code.empty()) {
        return;
    }
    const bool repeat = std::any_of(matches.begin(), matches.end(),
                                    [&](const SecurityMatch& m) { return m.code == match.code; });
    if (!repeat) {
        matches.push_back(std::move(match));
    }
}

bool SinaKind(std::string_view type, std::string_view symbol, SecurityKind& kind) {
    if (type == "11") {
        kind = IsIndexSymbol(symbol) ? SecurityKind::Index : SecurityKind::Stock;
    } else if (type == "12") {
        kind = SecurityKind::Stock;
    } else if (type == "15") {
        kind = SecurityKind::Bond;
    } else if (type.size() == 2 && type[0] == '2' && type[1] >= '1' && type[1] <= '6') {
        kind = SecurityKind::Fund;
    } else {
        return false;
    }
    return true;
}

bool TencentKind(std::string_view type, SecurityKind& kind) {
    struct Type {
        std::string_view name;
        SecurityKind kind;
    };
    static constexpr std::array<Type, 9> Types = {{
        {"GP-A", SecurityKind::Stock},
        {"GP-A-KCB", SecurityKind::Stock},
        {"ZS", SecurityKind::Index},
        {"ETF", SecurityKind::Fund},
        {"LOF", SecurityKind::Fund},
        {"KJ", SecurityKind::Fund},
        {"FJ", SecurityKind::Fund},
        {"ZQ", SecurityKind::Bond},
        {"KZZ", SecurityKind::Bond},
    }};
    for (const Type& known : Types) {
        if (known.name == type) {
            kind = known.kind;
            return true;
        }
    }
    return false;
}

}  // namespace

const char* SecurityKindText(SecurityKind kind) {
    switch (kind) {
        case SecurityKind::Index:
            return "指数";
        case SecurityKind::Fund:
            return "基金";
        case SecurityKind::Bond:
            return "债券";
        case SecurityKind::Stock:
            break;
    }
    return "股票";
}

std::string CodeForSymbol(std::string_view symbol) {
    if (!IsMarketSymbol(symbol)) {
        return {};
    }
    char buffer[QuoteTextSize] = {};
    std::memcpy(buffer, symbol.data(), symbol.size());
    TencentSymbolToCode(buffer);
    const std::string code(buffer);
    // Only Tencent serves Beijing; Shanghai and Shenzhen must come back the same from both.
    const std::string list = "," + code;
    if (MakeQuoteUrl(list, ProviderTencent) != TencentBaseUrl + std::string(symbol)) {
        return {};
    }
    if (!symbol.starts_with("bj") &&
        MakeQuoteUrl(list, ProviderSina) != SinaBaseUrl + std::string(symbol)) {
        return {};
    }
    return code;
}

LookupAnswer ParseSinaLookup(std::string_view body) {
    LookupAnswer answer;
    const std::string text = GbkToUtf8(body);
    std::string_view value;
    if (!QuotedValue(text, "var suggestvalue=\"", value)) {
        return answer;
    }
    answer.recognised = true;
    for (std::string_view row : Split(value, ';')) {
        if (answer.matches.size() >= MaxMatches) {
            break;
        }
        const std::vector<std::string_view> fields = Split(row, ',');
        if (fields.size() < 5) {
            continue;
        }
        SecurityMatch match;
        match.symbol = std::string(fields[3]);
        if (!SinaKind(fields[1], fields[3], match.kind)) {
            continue;
        }
        match.code = CodeForSymbol(fields[3]);
        match.name = DisplayText(fields[4], MaxMatchNameChars);
        Collect(answer.matches, std::move(match));
    }
    return answer;
}

LookupAnswer ParseTencentLookup(std::string_view body) {
    LookupAnswer answer;
    // Decoded before splitting: a GBK character's second byte may be '~', '^' or '\'.
    const std::string text = GbkToUtf8(body);
    std::string_view value;
    if (!QuotedValue(text, "v_hint=\"", value)) {
        return answer;
    }
    answer.recognised = true;
    if (value == "N") {
        return answer;
    }
    for (std::string_view row : Split(value, '^')) {
        if (answer.matches.size() >= MaxMatches) {
            break;
        }
        const std::vector<std::string_view> fields = Split(row, '~');
        if (fields.size() < 5) {
            continue;
        }
        SecurityMatch match;
        if (!TencentKind(fields[4], match.kind)) {
            continue;
        }
        match.symbol = std::string(fields[0]) + std::string(fields[1]);
        match.code = CodeForSymbol(match.symbol);
        match.name = DisplayText(DecodeEscapes(fields[2]), MaxMatchNameChars);
        match.pinyin = DisplayText(DecodeEscapes(fields[3]), MaxMatchPinyinChars);
        Collect(answer.matches, std::move(match));
    }
    return answer;
}

std::string PercentEncode(std::string_view bytes) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
            (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' ||
            byte == '~') {
            out += c;
        } else {
            out += '%';
            out += Hex[byte >> 4];
            out += Hex[byte & 0x0F];
        }
    }
    return out;
}

std::string SinaLookupUrl(std::string_view key) {
    return SinaLookupBase + PercentEncode(key);
}

std::string TencentLookupUrl(std::string_view key) {
    return TencentLookupBase + PercentEncode(key) + "&t=all";
}

const char* LookupResultText(int result) {
    switch (result) {
        case FetchOk:
            return "ok";
        case FetchBadUrl:
            return "bad request URL";
        case LookupNotAnswer:
            return "not a look-up answer";
        default:
            return "request failed";
    }
}

LookupOutcome LookUpWith(std::string_view key, const LookupFetcher& fetch,
                         const std::atomic<bool>* cancel) {
    struct Service {
        int provider;
        std::string url;
        LookupAnswer (*parse)(std::string_view);
    };
    const Service services[] = {
        {ProviderSina, SinaLookupUrl(key), ParseSinaLookup},
        {ProviderTencent, TencentLookupUrl(key), ParseTencentLookup},
    };
    LookupOutcome outcome;
    for (const Service& service : services) {
        if (cancel != nullptr && cancel->load()) {
            outcome.cancelled = true;
            return outcome;
        }
        std::string body;
        LookupAttempt attempt{service.provider, fetch(service.provider, service.url, body)};
        if (attempt.result == FetchOk) {
            LookupAnswer answer = service.parse(body);
            if (!answer.recognised) {
                attempt.result = LookupNotAnswer;
            } else {
                outcome.answered = true;
                if (!answer.matches.empty()) {
                    outcome.matches = std::move(answer.matches);
                    outcome.provider = service.provider;
                    outcome.attempts.push_back(attempt);
                    return outcome;
                }
            }
        }
        outcome.attempts.push_back(attempt);
    }
    outcome.cancelled = cancel != nullptr && cancel->load();
    return outcome;
}

LookupOutcome LookUp(const TickerSettings& settings, std::string_view key,
                     const FetchOptions& options) {
    const LookupFetcher fetch = [&](int provider, const std::string& url, std::string& body) {
        std::string answer;
        const int result = HttpGet(settings, url, QuoteRequestHeaders,
                                   provider == ProviderSina ? SinaRefererHeader : "", answer, options);
        body.clear();
        if (result != FetchOk) {
            return result;
        }
        for (const std::string& line : SplitResponseLines(answer)) {
            body += line;
            body += '\n';
        }
        return result;
    };
    return LookUpWith(key, fetch, options.cancel);
}

}  // namespace vemo
