#include "tools/marketsim/HttpServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>

namespace vemo::sim {

namespace {

void CloseFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

bool WantsKeepAlive(const ParsedRequest& request) {
    // A client talking to a proxy may say Proxy-Connection instead of Connection.
    std::string connection = ToLower(HeaderValue(request.headers, "Connection"));
    if (connection.empty() && request.absoluteForm) {
        connection = ToLower(HeaderValue(request.headers, "Proxy-Connection"));
    }
    if (connection.find("close") != std::string::npos) {
        return false;
    }
    if (request.version == "HTTP/1.0") {
        return connection.find("keep-alive") != std::string::npos;
    }
    return true;
}

}  // namespace

HttpServer::HttpServer(HttpHandler handler) : handler_(std::move(handler)) {}

HttpServer::~HttpServer() {
    Stop();
}

int HttpServer::Start(std::uint16_t port) {
    std::lock_guard lock(startStop_);
    if (running_) {
        return -4;
    }
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        return -5;
    }
    stopRead_ = pipeFds[0];
    stopWrite_ = pipeFds[1];

    auto fail = [this](int result) {
        CloseFd(listenFd_);
        CloseFd(stopRead_);
        CloseFd(stopWrite_);
        return result;
    };
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listenFd_ < 0) {
        return fail(-1);
    }
    const int yes = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        return fail(-2);
    }
    if (::listen(listenFd_, 64) != 0) {
        return fail(-3);
    }
    socklen_t length = sizeof address;
    if (::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return fail(-3);
    }
    port_ = ntohs(address.sin_port);
    try {
        acceptThread_ = std::thread([this] { AcceptLoop(); });
    } catch (const std::system_error&) {
        port_ = 0;
        return fail(-5);
    }
    running_ = true;
    return 0;
}

void HttpServer::Stop() {
    std::lock_guard lock(startStop_);
    if (!running_) {
        return;
    }
    // The pipe is never drained, so every poll that watches it wakes up and stays awake.
    const char byte = 1;
    while (::write(stopWrite_, &byte, 1) < 0 && errno == EINTR) {
    }
    if (acceptThread_.joinable()) {
        acceptThread_.join();
    }
    for (auto& connection : connections_) {
        if (connection->thread.joinable()) {
            connection->thread.join();
        }
    }
    connections_.clear();
    CloseFd(listenFd_);
    CloseFd(stopRead_);
    CloseFd(stopWrite_);
    port_ = 0;
    running_ = false;
}

void HttpServer::ReapFinished() {
    for (auto it = connections_.begin(); it != connections_.end();) {
        if ((*it)->done.load()) {
            (*it)->thread.join();
            it = connections_.erase(it);
        } else {
            ++it;
        }
    }
}

void HttpServer::AcceptLoop() {
    while (true) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {stopRead_, POLLIN, 0}};
        const int ready = ::poll(fds, 2, 1000);
        if (ready < 0 && errno != EINTR) {
            return;
        }
        if (fds[1].revents != 0) {
            return;
        }
        ReapFinished();
        if ((fds[0].revents & POLLIN) == 0) {
            continue;
        }
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            continue;
        }
        if (connections_.size() >= static_cast<std::size_t>(MaxConnections)) {
            CloseFd(fd);
            continue;
        }
        auto connection = std::make_unique<Connection>();
        Connection* raw = connection.get();
        try {
            connection->thread = std::thread([this, fd, raw] {
                Serve(fd);
                ::close(fd);
                raw->done = true;
            });
        } catch (const std::system_error&) {
            CloseFd(fd);
            continue;
        }
        connections_.push_back(std::move(connection));
    }
}

bool HttpServer::ReadSome(int fd, std::string& buffer) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(IdleTimeoutMs);
    while (true) {
        // Rounded up: a delay must never end early, not even by a fraction of a millisecond.
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd fds[2] = {{fd, POLLIN, 0}, {stopRead_, POLLIN, 0}};
        const int ready = ::poll(fds, 2, static_cast<int>(left.count()));
        if (ready < 0 && errno != EINTR) {
            return false;
        }
        if (fds[1].revents != 0) {
            return false;
        }
        if (fds[0].revents == 0) {
            continue;
        }
        char chunk[4096];
        const ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
        if (got > 0) {
            buffer.append(chunk, static_cast<std::size_t>(got));
            return true;
        }
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            continue;
        }
        return false;
    }
}

bool HttpServer::SendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            return false;
        }
        pollfd fds[2] = {{fd, POLLOUT, 0}, {stopRead_, POLLIN, 0}};
        const int ready = ::poll(fds, 2, IdleTimeoutMs);
        if (ready == 0 || (ready < 0 && errno != EINTR) || fds[1].revents != 0) {
            return false;
        }
        if ((fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
            return false;
        }
    }
    return true;
}

bool HttpServer::SendTrickling(int fd, std::string_view bytes, int pauseMs) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if ((i > 0 && !Pause(pauseMs)) || !SendAll(fd, bytes.substr(i, 1))) {
            return false;
        }
    }
    return true;
}

void HttpServer::SendSimple(int fd, int status, std::string_view text) {
    std::string answer = "HTTP/1.1 " + std::to_string(status) + " ";
    answer += ReasonPhrase(status);
    answer += "\r\nServer: marketsim\r\nContent-Type: text/plain; charset=UTF-8\r\n";
    answer += "Content-Length: " + std::to_string(text.size()) + "\r\n";
    answer += "Connection: close\r\n\r\n";
    answer += text;
    if (!SendAll(fd, answer)) {
        return;
    }
    // Closing with unread request bytes would reset the connection and could destroy the
    // answer before the client reads it, so the rest of what it sends is drained first.
    ::shutdown(fd, SHUT_WR);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {stopRead_, POLLIN, 0}};
        if (::poll(fds, 2, 100) < 0 && errno != EINTR) {
            return;
        }
        if (fds[1].revents != 0) {
            return;
        }
        if (fds[0].revents != 0) {
            char scratch[4096];
            const ssize_t got = ::recv(fd, scratch, sizeof scratch, 0);
            if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) {
                return;
            }
        }
    }
}

bool HttpServer::Pause(int ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (true) {
        // Rounded up: a delay must never end early, not even by a fraction of a millisecond.
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return true;
        }
        pollfd fds[1] = {{stopRead_, POLLIN, 0}};
        if (::poll(fds, 1, static_cast<int>(left.count())) > 0) {
            return false;
        }
    }
}

void HttpServer::Hold(int fd) {
    while (true) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {stopRead_, POLLIN, 0}};
        const int ready = ::poll(fds, 2, -1);
        if (ready < 0 && errno != EINTR) {
            return;
        }
        if (fds[1].revents != 0) {
            return;
        }
        if ((fds[0].revents & (POLLERR | POLLNVAL)) != 0) {
            return;
        }
        if ((fds[0].revents & (POLLIN | POLLHUP)) != 0) {
            char scratch[4096];
            const ssize_t got = ::recv(fd, scratch, sizeof scratch, 0);
            if (got == 0 ||
                (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
                return;
            }
        }
    }
}

void HttpServer::Serve(int fd) {
    std::string buffer;
    while (true) {
        std::size_t headLength = FindHeadEnd(buffer);
        while (headLength == 0) {
            if (buffer.size() > MaxHeadBytes) {
                SendSimple(fd, 431, "request head too large\n");
                return;
            }
            if (!ReadSome(fd, buffer)) {
                return;
            }
            headLength = FindHeadEnd(buffer);
        }
        if (headLength > MaxHeadBytes) {
            SendSimple(fd, 431, "request head too large\n");
            return;
        }
        ParsedRequest request;
        if (const int bad =
                ParseRequestHead(std::string_view(buffer).substr(0, headLength), request);
            bad != 0) {
            SendSimple(fd, bad, "malformed request\n");
            return;
        }
        if (HasHeader(request.headers, "Transfer-Encoding")) {
            SendSimple(fd, 411, "send a Content-Length instead of a transfer coding\n");
            return;
        }
        long long bodyLength = 0;
        if (HasHeader(request.headers, "Content-Length") &&
            (!ParseInt(HeaderValue(request.headers, "Content-Length"), bodyLength) ||
             bodyLength < 0)) {
            SendSimple(fd, 400, "bad Content-Length\n");
            return;
        }
        if (static_cast<unsigned long long>(bodyLength) > MaxBodyBytes) {
            SendSimple(fd, 413, "request body too large\n");
            return;
        }
        const std::size_t total = headLength + static_cast<std::size_t>(bodyLength);
        while (buffer.size() < total) {
            if (!ReadSome(fd, buffer)) {
                return;
            }
        }
        const std::string body = buffer.substr(headLength, total - headLength);
        buffer.erase(0, total);

        HttpReply reply;
        try {
            reply = handler_(request, body);
        } catch (const std::exception&) {
            SendSimple(fd, 500, "simulator fault\n");
            return;
        }
        if (reply.delayMs > 0 && !Pause(reply.delayMs)) {
            return;
        }
        if (reply.kind == HttpReply::Kind::Hang) {
            Hold(fd);
            return;
        }
        if (reply.kind == HttpReply::Kind::Close) {
            return;
        }
        const bool keepAlive = !reply.closeAfter && WantsKeepAlive(request);
        std::string answer = "HTTP/1.1 " + std::to_string(reply.status) + " ";
        answer += ReasonPhrase(reply.status);
        answer += "\r\nServer: marketsim\r\n";
        for (const auto& [name, value] : reply.headers) {
            answer += name + ": " + value + "\r\n";
        }
        answer += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
        answer += keepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
        if (request.method != "HEAD") {
            answer += reply.body;
        }
        const auto send = [&](std::string_view bytes) {
            return reply.trickleMs > 0 ? SendTrickling(fd, bytes, reply.trickleMs)
                                       : SendAll(fd, bytes);
        };
        if (reply.kind == HttpReply::Kind::Cut) {
            answer.resize(answer.size() - reply.body.size() + reply.body.size() / 2);
            send(answer);
            return;
        }
        if (!send(answer) || !keepAlive) {
            return;
        }
    }
}

}  // namespace vemo::sim
