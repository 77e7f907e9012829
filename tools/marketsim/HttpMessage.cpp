#include "tools/marketsim/HttpMessage.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace vemo::sim {

namespace {

constexpr auto npos = std::string_view::npos;
constexpr std::string_view Blanks = " \t";

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(Blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(Blanks);
    return text.substr(first, last - first + 1);
}

bool IsTokenChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return std::isalnum(u) != 0 || std::string_view("!#$%&'*+-.^_`|~").find(c) != npos;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace

std::size_t FindHeadEnd(std::string_view buffer) {
    // A head ends at the first empty line; lines may end with CR LF or a bare LF.
    std::size_t lineStart = 0;
    while (lineStart < buffer.size()) {
        const auto lf = buffer.find('\n', lineStart);
        if (lf == npos) {
            return 0;
        }
        const std::size_t length = lf - lineStart;
        const bool empty = length == 0 || (length == 1 && buffer[lineStart] == '\r');
        if (empty && lineStart > 0) {
            return lf + 1;
        }
        lineStart = lf + 1;
    }
    return 0;
}

int ParseRequestHead(std::string_view head, ParsedRequest& out) {
    out = ParsedRequest{};
    out.head = std::string(head);
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < head.size()) {
        auto lf = head.find('\n', start);
        if (lf == npos) {
            lf = head.size();
        }
        std::string_view line = head.substr(start, lf - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        start = lf + 1;
    }
    while (!lines.empty() && lines.back().empty()) {
        lines.pop_back();
    }
    if (lines.empty()) {
        return 400;
    }

    // The target may hold blanks (a version text sent unescaped), so the method ends at the
    // first blank and the version starts after the last one.
    const std::string_view requestLine = lines.front();
    const auto firstBlank = requestLine.find(' ');
    const auto lastBlank = requestLine.rfind(' ');
    if (firstBlank == npos || firstBlank == 0 || lastBlank == firstBlank) {
        return 400;
    }
    out.method = std::string(requestLine.substr(0, firstBlank));
    out.version = std::string(requestLine.substr(lastBlank + 1));
    out.target = std::string(requestLine.substr(firstBlank + 1, lastBlank - firstBlank - 1));
    for (char c : out.method) {
        if (!IsTokenChar(c)) {
            return 400;
        }
    }
    if (out.version != "HTTP/1.1" && out.version != "HTTP/1.0") {
        return 400;
    }
    if (out.target.empty() || out.target.front() == ' ' || out.target.back() == ' ') {
        return 400;
    }
    for (char c : out.target) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            return 400;
        }
    }

    const std::string_view target = out.target;
    if (out.method == "CONNECT") {
        // A tunnel request names only host and port; it is logged and refused later.
        out.absoluteForm = true;
        out.authority = out.target;
    } else if (target.front() == '/') {
        out.pathAndQuery = out.target;
    } else {
        const auto schemeEnd = target.find("://");
        if (schemeEnd == npos || !EqualsNoCase(target.substr(0, schemeEnd), "http")) {
            return 400;
        }
        const std::string_view rest = target.substr(schemeEnd + 3);
        const auto authorityEnd = rest.find_first_of("/?");
        out.authority = std::string(rest.substr(0, authorityEnd));
        if (out.authority.empty()) {
            return 400;
        }
        out.absoluteForm = true;
        if (authorityEnd == npos) {
            out.pathAndQuery.assign(1, '/');
        } else if (rest[authorityEnd] == '?') {
            out.pathAndQuery.assign(1, '/');
            out.pathAndQuery += rest.substr(authorityEnd);
        } else {
            out.pathAndQuery = std::string(rest.substr(authorityEnd));
        }
    }

    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        const auto colon = line.find(':');
        // Folded continuation lines are obsolete and a name must be a token.
        if (colon == npos || colon == 0 || line.front() == ' ' || line.front() == '\t') {
            return 400;
        }
        const std::string_view name = line.substr(0, colon);
        for (char c : name) {
            if (!IsTokenChar(c)) {
                return 400;
            }
        }
        out.headerLines.emplace_back(line);
        out.headers.emplace_back(std::string(name), std::string(Trim(line.substr(colon + 1))));
    }
    return 0;
}

std::string HeaderValue(const std::vector<std::pair<std::string, std::string>>& headers,
                        std::string_view name) {
    for (const auto& [key, value] : headers) {
        if (EqualsNoCase(key, name)) {
            return value;
        }
    }
    return {};
}

bool HasHeader(const std::vector<std::pair<std::string, std::string>>& headers,
               std::string_view name) {
    for (const auto& header : headers) {
        if (EqualsNoCase(header.first, name)) {
            return true;
        }
    }
    return false;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

std::string ToLower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

std::string HostOf(std::string_view authority) {
    if (const auto at = authority.rfind('@'); at != npos) {
        authority.remove_prefix(at + 1);
    }
    if (!authority.empty() && authority.front() == '[') {
        const auto close = authority.find(']');
        return ToLower(authority.substr(1, close == npos ? npos : close - 1));
    }
    return ToLower(authority.substr(0, authority.find(':')));
}

int PortOf(std::string_view authority) {
    if (const auto at = authority.rfind('@'); at != npos) {
        authority.remove_prefix(at + 1);
    }
    if (!authority.empty() && authority.front() == '[') {
        const auto close = authority.find(']');
        authority.remove_prefix(close == npos ? authority.size() : close + 1);
    }
    const auto colon = authority.find(':');
    if (colon == npos || colon + 1 == authority.size()) {
        return 80;
    }
    long long port = 0;
    if (!ParseInt(authority.substr(colon + 1), port) || port < 0 || port > 65535) {
        return -1;
    }
    return static_cast<int>(port);
}

std::string Base64Encode(std::string_view bytes) {
    static constexpr char Alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 |
                           static_cast<unsigned char>(bytes[i + 1]) << 8 |
                           static_cast<unsigned char>(bytes[i + 2]);
        out += Alphabet[v >> 18 & 63];
        out += Alphabet[v >> 12 & 63];
        out += Alphabet[v >> 6 & 63];
        out += Alphabet[v & 63];
    }
    if (i + 1 == bytes.size()) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        out += Alphabet[v >> 18 & 63];
        out += Alphabet[v >> 12 & 63];
        out += "==";
    } else if (i + 2 == bytes.size()) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 |
                           static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += Alphabet[v >> 18 & 63];
        out += Alphabet[v >> 12 & 63];
        out += Alphabet[v >> 6 & 63];
        out += '=';
    }
    return out;
}

bool Base64Decode(std::string_view text, std::string& out) {
    out.clear();
    if (text.size() % 4 != 0) {
        return false;
    }
    auto value = [](char c) -> int {
        if (c >= 'A' && c <= 'Z') {
            return c - 'A';
        }
        if (c >= 'a' && c <= 'z') {
            return c - 'a' + 26;
        }
        if (c >= '0' && c <= '9') {
            return c - '0' + 52;
        }
        if (c == '+') {
            return 62;
        }
        if (c == '/') {
            return 63;
        }
        return -1;
    };
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        int v[4];
        int padding = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = text[i + static_cast<std::size_t>(k)];
            if (c == '=' && last && k >= 2) {
                v[k] = 0;
                ++padding;
                continue;
            }
            if (padding > 0) {
                return false;
            }
            v[k] = value(c);
            if (v[k] < 0) {
                return false;
            }
        }
        const unsigned bits = static_cast<unsigned>(v[0] << 18 | v[1] << 12 | v[2] << 6 | v[3]);
        out += static_cast<char>(bits >> 16 & 0xFF);
        if (padding < 2) {
            out += static_cast<char>(bits >> 8 & 0xFF);
        }
        if (padding < 1) {
            out += static_cast<char>(bits & 0xFF);
        }
    }
    return true;
}

std::string UrlDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
                   HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

std::map<std::string, std::string> ParseQuery(std::string_view query) {
    std::map<std::string, std::string> out;
    while (!query.empty()) {
        const auto amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        if (!pair.empty()) {
            const auto eq = pair.find('=');
            out[UrlDecode(pair.substr(0, eq))] =
                eq == npos ? std::string() : UrlDecode(pair.substr(eq + 1));
        }
        if (amp == npos) {
            break;
        }
        query.remove_prefix(amp + 1);
    }
    return out;
}

std::string_view ReasonPhrase(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 204:
            return "No Content";
        case 301:
            return "Moved Permanently";
        case 302:
            return "Found";
        case 304:
            return "Not Modified";
        case 400:
            return "Bad Request";
        case 401:
            return "Unauthorized";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 407:
            return "Proxy Authentication Required";
        case 408:
            return "Request Timeout";
        case 411:
            return "Length Required";
        case 413:
            return "Content Too Large";
        case 429:
            return "Too Many Requests";
        case 431:
            return "Request Header Fields Too Large";
        case 500:
            return "Internal Server Error";
        case 501:
            return "Not Implemented";
        case 502:
            return "Bad Gateway";
        case 503:
            return "Service Unavailable";
        case 504:
            return "Gateway Timeout";
        default:
            return "Status";
    }
}

bool ParseInt(std::string_view text, long long& value) {
    if (text.empty()) {
        return false;
    }
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && ptr == end;
}

bool ParseDouble(std::string_view text, double& value) {
    if (text.empty()) {
        return false;
    }
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && ptr == end && std::isfinite(value);
}

}  // namespace vemo::sim
