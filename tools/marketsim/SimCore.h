#pragma once

#include <array>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "tools/marketsim/HttpServer.h"
#include "tools/marketsim/Market.h"
#include "tools/marketsim/MarketSim.h"

namespace vemo {

inline constexpr char SinaHost[] = "hq.sinajs.cn";
inline constexpr char NetEaseHost[] = "api.money.126.net";
inline constexpr char TencentHost[] = "qt.gtimg.cn";
inline constexpr char SinaLookupHost[] = "suggest3.sinajs.cn";
inline constexpr char TencentLookupHost[] = "smartbox.gtimg.cn";

struct MarketSimulator::Impl {
    explicit Impl(std::uint64_t seed);

    sim::HttpReply Handle(const sim::ParsedRequest& request, const std::string& body);
    // The /_sim/ paths; defined with the control interface.
    sim::HttpReply HandleControl(const sim::ParsedRequest& request, const std::string& body);

    // With the mutex held.
    std::string SinaBody(std::string_view list);
    std::string NetEaseBody(std::string_view list);
    std::string TencentBody(std::string_view list);
    sim::HttpReply MakerReply(std::string_view pathAndQuery);
    SimTime Now() const;
    void ResetLocked();
    int SetFixedLinesLocked(std::string_view text);
    SimBehaviour& BehaviourOf(SimService service);

    mutable std::mutex mutex;
    mutable std::condition_variable requestArrived;

    std::uint64_t seed;
    sim::Market market;
    std::uint64_t serial = 0;                // quote requests answered, for the walks
    std::array<SimBehaviour, 4> behaviours;  // Sina, NetEase, maker, Tencent
    bool sinaOldForm = false;
    std::set<std::string, std::less<>> emptySymbols;
    std::map<std::string, std::string, std::less<>> fixedSina;     // by Sina symbol
    std::map<std::string, std::string, std::less<>> fixedNetEase;  // by NetEase symbol
    std::map<std::string, std::string, std::less<>> fixedTencent;  // by Tencent symbol
    std::optional<std::pair<std::string, std::string>> proxyCredentials;
    SimMakerAnswer versionAnswer;
    SimMakerAnswer updateAnswer;
    std::map<std::string, std::string, std::less<>> downloads;
    std::optional<SimTime> fixedTime;

    std::deque<SimRequest> log;
    std::size_t requestCount = 0;
    std::function<void(const SimRequest&)> observer;

    // Last, so that it stops (and its threads end) before anything they use goes away.
    sim::HttpServer server;
};

// The INI text of one maker answer.
std::string MakerAnswerText(const SimMakerAnswer& answer);

}  // namespace vemo
