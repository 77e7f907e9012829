#pragma once

// Clients for the simulator tests: libcurl for ordinary requests (it is what the program
// uses), a raw socket where the exact bytes on the wire matter.

#include <curl/curl.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vemo::simtest {

struct FetchOptions {
    std::string proxy;  // "127.0.0.1:PORT" for a proxy request
    std::string proxyUser;
    std::string proxyPassword;
    long timeoutMs = 5000;
    std::vector<std::string> headers;
};

struct FetchResult {
    CURLcode code = CURLE_OK;
    long status = 0;
    std::string headers;  // the response head as received
    std::string body;
};

FetchResult Fetch(const std::string& url, const FetchOptions& options = {});

std::string Direct(std::uint16_t port, std::string_view pathAndQuery);

struct RawResponse {
    int status = 0;
    std::string head;
    std::string body;
};

class RawConnection {
  public:
    explicit RawConnection(std::uint16_t port);
    ~RawConnection();
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    bool Connected() const { return fd_ >= 0; }
    bool Send(std::string_view bytes);
    // One response with a Content-Length; nullopt when the peer closes or the time runs out.
    std::optional<RawResponse> Read(int timeoutMs);
    // True when the peer closes the connection within the time, with nothing more to read.
    bool ClosedWithin(int timeoutMs);

  private:
    bool Fill(int timeoutMs);  // false on close, error or timeout
    int fd_ = -1;
    std::string pending_;
};

// The bytes of a text in GBK, spelled as escapes so that the tests do not rely on the
// simulator's own conversion.
inline constexpr char PufaGbk[] = "\xC6\xD6\xB7\xA2\xD2\xF8\xD0\xD0";   // 浦发银行
inline constexpr char DaqinGbk[] = "\xB4\xF3\xC7\xD8\xCC\xFA\xC2\xB7";  // 大秦铁路
inline constexpr char VankeGbk[] = "\xCD\xF2\xBF\xC6\xA3\xC1";          // 万科Ａ

}  // namespace vemo::simtest
