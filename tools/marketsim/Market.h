#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "tools/marketsim/MarketSim.h"

namespace vemo::sim {

enum class SecurityKind {
    Index,
    Stock,
    GrowthStock,  // ChiNext and STAR market: 20% daily limit
    Fund,
    BShareShanghai,  // quoted in US dollars, three decimals
    BShareShenzhen,  // quoted in Hong Kong dollars
    BeijingStock,    // Beijing exchange: 30% daily limit
};

SecurityKind KindOf(std::string_view symbol);
// True for "sh", "sz" or "bj" and six digits.
bool IsMarketSymbol(std::string_view symbol);

struct Security {
    std::string symbol;  // "sh600000"
    std::string nameGbk;
    std::string nameUtf8;
    SecurityKind kind = SecurityKind::Stock;
    double prevClose = 0;
    double open = 0;
    double price = 0;
    double high = 0;
    double low = 0;
    long long volume = 0;  // shares
    double amount = 0;     // yuan
    std::array<double, 5> bidPrices{};
    std::array<long long, 5> bidVolumes{};
    std::array<double, 5> askPrices{};
    std::array<long long, 5> askVolumes{};

    // The walk: its own random state, so one security's moves do not depend on which others
    // were asked for.
    std::uint64_t random = 0;
    double drift = 0;      // per step, as a share of the previous close
    double change = 0;     // price / prevClose - 1
    double dayVolume = 0;  // the volume the day tends to
    bool fixed = false;
    bool listed = true;  // false for a security that only fixed figures brought in
    std::uint64_t lastStep = 0;
};

// The securities the services know and their price walks.
class Market {
  public:
    explicit Market(std::uint64_t seed);

    // Every walk from its start with this seed; fixed figures stay.
    void Reset(std::uint64_t seed);
    void SetMoving(bool moving) { moving_ = moving; }

    // The security of a Sina-style symbol, or nullptr.
    Security* Find(std::string_view symbol);
    // Moves the security one step for request number `serial`; a request that names it twice
    // moves it once.
    void Advance(Security& security, std::uint64_t serial);

    int SetFixed(std::string_view symbol, const SimQuote& quote);
    // Listed securities get their own figures back and walk from their start again.
    void ClearFixed();

    std::vector<const Security*> All() const;

    static std::string SinaLine(const Security& security, const SimTime& time, bool oldForm);
    static std::string NetEaseLine(const Security& security, std::string_view symbol,
                                   const SimTime& time);
    static std::string TencentLine(const Security& security, const SimTime& time);

  private:
    void Build(Security& security);
    void FillBook(Security& security, bool randomVolumes);

    std::uint64_t seed_;
    bool moving_ = true;
    std::map<std::string, Security, std::less<>> securities_;
};

}  // namespace vemo::sim
