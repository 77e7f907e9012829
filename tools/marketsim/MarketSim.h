#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The market simulator: an HTTP/1.1 server on 127.0.0.1 that answers as the Sina, NetEase and
// Tencent quote services and as the maker's web server, directly and as an HTTP proxy. Tests run it
// in-process through this class; the marketsim program wraps the same class.

namespace vemo {

// The services it plays. All stands for every one of them where a setting has a scope.
enum class SimService { All, Sina, NetEase, Maker, Tencent };

enum class SimFailure {
    None,       // answer normally
    Hang,       // never answer: hold the connection until the client gives up or Stop()
    Close,      // close the connection without any answer
    HttpError,  // answer with `status` and `body`
    Cut,        // announce the whole answer, send half of it and close: a broken transfer
};

// How a service treats the requests that reach it.
struct SimBehaviour {
    SimFailure failure = SimFailure::None;
    int delayMs = 0;   // waited before answering (or failing)
    int status = 500;  // for HttpError
    std::string body;  // for HttpError, sent byte for byte
    int count = -1;    // number of requests it applies to, then the service is normal again;
                       // -1 until changed

    // When set, the answer goes out one byte at a time, this many milliseconds apart.
    int trickleMs = 0;
};

// A local date and time for the quote lines.
struct SimTime {
    int year = 2008;
    int month = 1;
    int day = 11;
    int hour = 15;
    int minute = 5;
    int second = 32;
};

// Fixed figures for one security; it stops moving while they are set.
struct SimQuote {
    std::string name;  // UTF-8, sent as GBK; empty keeps a listed security's own name
    double prevClose = 0;
    double open = 0;
    double price = 0;
    double high = 0;
    double low = 0;
    long long volume = 0;  // shares
    double amount = 0;     // yuan
};

// One answer file of the maker's server (INI text, section [VEMO]). Keys without a value are
// left out of the answer. Texts are UTF-8 and sent as GBK.
struct SimMakerAnswer {
    std::optional<long long> infoVer = 43;
    std::optional<std::string> info;
    std::optional<std::string> infourl;
    std::optional<long long> update;
    std::optional<std::string> dlurl;
    // When set, the whole answer body, byte for byte, instead of the keys above.
    std::optional<std::string> raw;
};

// The two answer files.
enum class SimMakerScript { Both, VersionCheck, Update };

// One request as it arrived.
struct SimRequest {
    std::string method;
    std::string url;        // absolute-form target as sent, else "http://" + Host + target
    std::string target;     // the request line's target, exactly
    std::string version;    // "HTTP/1.1"
    bool viaProxy = false;  // absolute-form request line
    std::vector<std::string> headerLines;  // each header line's exact bytes, no line end
    std::string head;  // exact bytes from the request line up to and including the blank line
    std::string body;

    // First value of a header (name without regard to case, blanks around the value
    // removed); empty when absent.
    std::string Header(std::string_view name) const;
};

inline constexpr std::uint64_t SimDefaultSeed = 20080111;

class MarketSimulator {
  public:
    explicit MarketSimulator(std::uint64_t seed = SimDefaultSeed);
    // Stops the server; held and delayed connections end at once.
    ~MarketSimulator();
    MarketSimulator(const MarketSimulator&) = delete;
    MarketSimulator& operator=(const MarketSimulator&) = delete;

    // Listens on 127.0.0.1:port (0 picks a free port). 0 on success; -1 no socket, -2 the
    // port cannot be bound, -3 listen failed, -4 already running, -5 no thread.
    int Start(std::uint16_t port = 0);
    std::uint16_t Port() const;  // 0 when not running
    void Stop();

    // Everything below may be called at any time from any thread.

    // Failure modes and delays for one service, or for all of them.
    void SetBehaviour(SimService service, const SimBehaviour& behaviour);
    // Sina's line form: today's (with ",00," before the closing quote) or the old one.
    void SetSinaOldForm(bool oldForm);
    // An empty entry for a symbol ("sh600000" or "sz000001"): Sina answers var hq_str_X="";,
    // NetEase leaves the entry out and Tencent answers v_pv_none_match="1";, as each does for
    // a symbol it does not list.
    void SetEmptyEntry(std::string_view symbol, bool empty);
    // Proxy requests must carry "Proxy-Authorization: Basic" with these credentials, else they
    // get 407. An empty user switches the demand off.
    void SetProxyCredentials(std::string_view user, std::string_view password);

    // Fixed response lines, byte for byte (GBK), one per line of `text`, each beginning with
    // var hq_str_SYMBOL= (Sina), var quote_SYMBOL= (NetEase) or v_SYMBOL= (Tencent). The line
    // replaces what the service would answer for that symbol, also for symbols it does not
    // list. Returns the number of lines taken, or -1 (and takes none) when a line has none of
    // these forms.
    int SetFixedLines(std::string_view text);
    // The same from a file; `utf8` converts the file's text to GBK first. -2 when the file
    // cannot be read.
    int LoadFixedLines(const std::string& path, bool utf8);
    // Fixed figures for a symbol ("sh600000", "sz000001", "bj430047"), listed or not. 0, or -1
    // for a symbol of another form or figures that are not finite and non-negative.
    int SetQuote(std::string_view symbol, const SimQuote& quote);
    // Drops fixed lines and fixed figures; listed securities walk again from their start.
    void ClearFixed();

    // Prices move on every request that names the security (default), or stand still.
    void SetMoving(bool moving);
    // Starts every walk again from the seed; fixed lines and figures stay.
    void SetSeed(std::uint64_t seed);
    // Time stamps of the quote lines: a fixed time, or the local clock (nullopt, default).
    void SetTime(std::optional<SimTime> time);

    void SetMakerAnswer(SimMakerScript script, const SimMakerAnswer& answer);
    // Bytes served at `path` (for example "/download/VEMO") on the maker's host, to direct
    // requests and to proxy requests for hosts it does not otherwise play.
    void SetDownload(std::string_view path, std::string bytes);
    void RemoveDownload(std::string_view path);

    // Back to the defaults (log and port kept, walks restarted from the current seed).
    void Reset();

    // The requests seen, oldest first; control requests are not kept. At most MaxLog are kept,
    // the oldest dropped first.
    std::vector<SimRequest> Requests() const;
    std::size_t RequestCount() const;  // all seen since the last ClearRequests()
    void ClearRequests();
    // Waits until RequestCount() reaches `count`; false when the time runs out.
    bool WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;
    // Called on the connection's thread with every request kept in the log. It must not
    // call Stop().
    void SetObserver(std::function<void(const SimRequest&)> observer);

    static constexpr std::size_t MaxLog = 10'000;

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

// "2024-05-17 10:30:00" into a SimTime; false for anything else or an impossible date.
bool ParseSimTime(std::string_view text, SimTime& time);

// The names the program's options and the control paths use: "all", "sina", "netease",
// "tencent", "maker"; "none", "hang", "close", "error", "cut".
bool ParseSimService(std::string_view name, SimService& service);
bool ParseSimFailure(std::string_view name, SimFailure& failure);

}  // namespace vemo
