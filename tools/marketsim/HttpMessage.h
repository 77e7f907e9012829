#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vemo::sim {

// The request head (request line and header lines with their terminators) may not exceed
// this; a longer one is answered 431 and the connection is closed.
inline constexpr std::size_t MaxHeadBytes = 16 * 1024;
// Request bodies only carry control data (answer lines, a program file to offer: a build with
// the sanitizers is over 40 MiB).
inline constexpr std::size_t MaxBodyBytes = 128 * 1024 * 1024;

struct ParsedRequest {
    std::string method;
    std::string target;   // as in the request line, spaces included
    std::string version;  // "HTTP/1.1"
    std::string head;     // the exact bytes from the request line to the blank line
    std::vector<std::string> headerLines;  // exact bytes of each header line, terminator excluded
    std::vector<std::pair<std::string, std::string>> headers;  // name, value without blanks
    bool absoluteForm = false;  // absolute-form target, or the authority of a CONNECT
    std::string authority;      // host[:port] of an absolute-form target
    std::string pathAndQuery;   // origin-form target, or what follows the authority ("/" if none)
};

// Length of the head at the start of `buffer` including its blank line (CR LF CR LF, or bare
// line feeds), or 0 when the blank line has not arrived yet.
std::size_t FindHeadEnd(std::string_view buffer);

// Parses a complete head. Returns 0, or 400 for a malformed request line or header line.
int ParseRequestHead(std::string_view head, ParsedRequest& out);

// First value of a header, name compared without regard to case; empty when absent.
std::string HeaderValue(const std::vector<std::pair<std::string, std::string>>& headers,
                        std::string_view name);
bool HasHeader(const std::vector<std::pair<std::string, std::string>>& headers,
               std::string_view name);

bool EqualsNoCase(std::string_view a, std::string_view b);
std::string ToLower(std::string_view text);

// Host part of "host[:port]", lower case; "[::1]:80" gives "::1".
std::string HostOf(std::string_view authority);
// Port of "host[:port]"; 80 when none is given, -1 when it is not a number.
int PortOf(std::string_view authority);

std::string Base64Encode(std::string_view bytes);
// False for text that is not base64.
bool Base64Decode(std::string_view text, std::string& out);

// Percent-decoding of a query value; '+' is a blank there.
std::string UrlDecode(std::string_view text);
// "a=1&b=x%20y" into a map; later keys replace earlier ones.
std::map<std::string, std::string> ParseQuery(std::string_view query);

std::string_view ReasonPhrase(int status);

// Strict decimal parsing for figures that arrive in control requests.
bool ParseInt(std::string_view text, long long& value);
bool ParseDouble(std::string_view text, double& value);

}  // namespace vemo::sim
