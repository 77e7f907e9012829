#include "tests/marketsim/SimClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

namespace vemo::simtest {

namespace {

std::size_t Append(char* data, std::size_t size, std::size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

}  // namespace

FetchResult Fetch(const std::string& url, const FetchOptions& options) {
    static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    FetchResult result;
    CURL* curl = initialised ? curl_easy_init() : nullptr;
    if (curl == nullptr) {
        result.code = CURLE_FAILED_INIT;
        return result;
    }
    curl_slist* headers = nullptr;
    for (const std::string& header : options.headers) {
        headers = curl_slist_append(headers, header.c_str());
    }
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROXY, options.proxy.c_str());  // "" means none
    if (!options.proxyUser.empty()) {
        curl_easy_setopt(curl, CURLOPT_PROXYUSERNAME, options.proxyUser.c_str());
        curl_easy_setopt(curl, CURLOPT_PROXYPASSWORD, options.proxyPassword.c_str());
    }
    curl_easy_setopt(curl, CURLOPT_NOPROXY, options.proxy.empty() ? "*" : "");
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, options.timeoutMs);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Append);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &result.body);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, Append);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &result.headers);
    result.code = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.status);
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    return result;
}

std::string Direct(std::uint16_t port, std::string_view pathAndQuery) {
    return "http://127.0.0.1:" + std::to_string(port) + std::string(pathAndQuery);
}

RawConnection::RawConnection(std::uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

RawConnection::~RawConnection() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool RawConnection::Send(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

bool RawConnection::Fill(int timeoutMs) {
    pollfd fds[1] = {{fd_, POLLIN, 0}};
    if (::poll(fds, 1, timeoutMs) <= 0) {
        return false;
    }
    char chunk[4096];
    const ssize_t got = ::recv(fd_, chunk, sizeof chunk, 0);
    if (got <= 0) {
        return false;
    }
    pending_.append(chunk, static_cast<std::size_t>(got));
    return true;
}

std::optional<RawResponse> RawConnection::Read(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    auto left = [&] {
        return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                    deadline - std::chrono::steady_clock::now())
                                    .count());
    };
    std::size_t headEnd;
    while ((headEnd = pending_.find("\r\n\r\n")) == std::string::npos) {
        if (left() <= 0 || !Fill(left())) {
            return std::nullopt;
        }
    }
    RawResponse response;
    response.head = pending_.substr(0, headEnd + 4);
    response.status = std::atoi(response.head.c_str() + 9);
    const auto lengthAt = response.head.find("Content-Length: ");
    const std::size_t length =
        lengthAt == std::string::npos
            ? 0
            : static_cast<std::size_t>(std::atol(response.head.c_str() + lengthAt + 16));
    while (pending_.size() < headEnd + 4 + length) {
        if (left() <= 0 || !Fill(left())) {
            return std::nullopt;
        }
    }
    response.body = pending_.substr(headEnd + 4, length);
    pending_.erase(0, headEnd + 4 + length);
    return response;
}

bool RawConnection::ClosedWithin(int timeoutMs) {
    pollfd fds[1] = {{fd_, POLLIN, 0}};
    if (!pending_.empty() || ::poll(fds, 1, timeoutMs) <= 0) {
        return false;
    }
    char byte;
    return ::recv(fd_, &byte, 1, 0) == 0;
}

}  // namespace vemo::simtest
