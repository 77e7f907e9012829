#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tools/marketsim/HttpMessage.h"

namespace vemo::sim {

// What to do with one request.
struct HttpReply {
    enum class Kind {
        Answer,  // send the status, headers and body
        Hang,    // never answer; hold the connection until the client or the server ends it
        Close,   // close the connection without a byte of answer
        Cut,     // send the head and half the body, then close the connection
    };
    Kind kind = Kind::Answer;
    int delayMs = 0;  // waited before any of the three
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;  // Content-Length is added
    std::string body;
    bool closeAfter = false;

    // When set, an answer goes out one byte at a time, this many milliseconds apart.
    int trickleMs = 0;
};

// Called on the connection's thread for every complete request.
using HttpHandler = std::function<HttpReply(const ParsedRequest& request, const std::string& body)>;

// A small HTTP/1.1 server on 127.0.0.1: one thread per connection, keep-alive, bounded request
// heads and bodies. Every wait also watches a stop pipe, so Stop() ends promptly even while
// connections are held open or answers are delayed.
class HttpServer {
  public:
    explicit HttpServer(HttpHandler handler);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // 0 on success; -1 no socket, -2 the port cannot be bound, -3 listen failed, -4 already
    // running, -5 no stop pipe or thread.
    int Start(std::uint16_t port);
    std::uint16_t Port() const { return port_.load(); }
    void Stop();

    // Connections open at once; further ones are closed at once.
    static constexpr int MaxConnections = 128;
    // A connection that sends nothing for this long is closed.
    static constexpr int IdleTimeoutMs = 60'000;

  private:
    struct Connection {
        std::thread thread;
        std::atomic<bool> done{false};
    };

    void AcceptLoop();
    void Serve(int fd);
    void ReapFinished();

    // Reads what has arrived into `buffer`; false when the peer closed, an error occurred, the
    // idle time ran out or the server is stopping.
    bool ReadSome(int fd, std::string& buffer);
    bool SendAll(int fd, std::string_view bytes);
    // SendAll one byte at a time with a pause before each but the first, as a slow server.
    bool SendTrickling(int fd, std::string_view bytes, int pauseMs);
    // Answers a request that cannot be served and ends the connection.
    void SendSimple(int fd, int status, std::string_view text);
    // Waits `ms` milliseconds; false when the server stops meanwhile.
    bool Pause(int ms);
    // Holds the connection until the peer closes it or the server stops; data is discarded.
    void Hold(int fd);

    HttpHandler handler_;
    std::atomic<std::uint16_t> port_{0};
    int listenFd_ = -1;
    int stopRead_ = -1;
    int stopWrite_ = -1;
    std::thread acceptThread_;
    std::list<std::unique_ptr<Connection>> connections_;  // touched by the accept thread only
    std::mutex startStop_;
    bool running_ = false;
};

}  // namespace vemo::sim
