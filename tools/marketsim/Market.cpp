#include "tools/marketsim/Market.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tools/marketsim/GbkText.h"

namespace vemo::sim {

namespace {

struct Listing {
    const char* symbol;
    const char* name;  // the exchange's short name as quote services show it
    double prevClose;
    double dayVolume;  // shares
};

// Previous closes and volumes are of the right order for each security, not a record of any
// particular day.
constexpr Listing Listings[] = {
    // Shanghai indices; 000001 to 000012 clash with Shenzhen stock codes.
    {"sh000001", "上证指数", 3250.125, 320e6},
    {"sh000002", "A股指数", 3405.310, 318e6},
    {"sh000003", "B股指数", 248.760, 2.1e6},
    {"sh000004", "工业指数", 2711.420, 180e6},
    {"sh000005", "商业指数", 2519.880, 12e6},
    {"sh000006", "地产指数", 3360.470, 15e6},
    {"sh000007", "公用指数", 3012.660, 40e6},
    {"sh000008", "综合指数", 2870.150, 60e6},
    {"sh000009", "上证380", 4760.330, 45e6},
    {"sh000010", "上证180", 8590.210, 120e6},
    {"sh000011", "基金指数", 6520.940, 90e6},
    {"sh000012", "国债指数", 214.350, 1.5e6},
    {"sh000016", "上证50", 2610.440, 60e6},
    {"sh000300", "沪深300", 3820.560, 160e6},
    // Shenzhen indices.
    {"sz399001", "深证成指", 10420.880, 380e6},
    {"sz399005", "中小100", 6510.270, 55e6},
    {"sz399006", "创业板指", 2105.330, 140e6},
    {"sz399106", "深证综指", 1960.420, 420e6},
    {"sz399300", "沪深300", 3820.560, 160e6},
    {"sz399330", "深证100", 4480.150, 75e6},
    // Shanghai stocks.
    {"sh600000", "浦发银行", 7.52, 35e6},
    {"sh600028", "中国石化", 6.21, 180e6},
    {"sh600030", "中信证券", 21.35, 100e6},
    {"sh600036", "招商银行", 33.40, 50e6},
    {"sh600519", "贵州茅台", 1680.00, 2.8e6},
    {"sh600900", "长江电力", 27.15, 60e6},
    {"sh601006", "大秦铁路", 6.85, 25e6},
    {"sh601318", "中国平安", 45.80, 60e6},
    {"sh601398", "工商银行", 5.62, 250e6},
    {"sh601857", "中国石油", 8.36, 150e6},
    {"sh688981", "中芯国际", 51.20, 40e6},
    // Shenzhen stocks.
    {"sz000001", "平安银行", 10.85, 100e6},
    {"sz000002", "万科Ａ", 9.46, 120e6},
    {"sz000333", "美的集团", 61.25, 25e6},
    {"sz000651", "格力电器", 38.70, 30e6},
    {"sz000858", "五粮液", 142.30, 15e6},
    {"sz002415", "海康威视", 30.15, 40e6},
    {"sz002594", "比亚迪", 248.60, 10e6},
    {"sz300015", "爱尔眼科", 14.82, 60e6},
    {"sz300059", "东方财富", 13.27, 200e6},
    {"sz300750", "宁德时代", 188.40, 25e6},
    {"sz300760", "迈瑞医疗", 281.50, 5e6},
    // B shares.
    {"sz200596", "古井贡Ｂ", 112.50, 0.2e6},
    {"sz200625", "长安Ｂ", 3.21, 3e6},
    {"sz200869", "张裕Ｂ", 11.36, 0.5e6},
    {"sh900901", "云赛Ｂ股", 0.352, 2e6},
    {"sh900905", "老凤祥Ｂ", 3.876, 0.4e6},
    {"sh900932", "陆家Ｂ股", 0.612, 1.5e6},
    // Funds. The name of 510300 is ten GBK bytes, one more than the program's name field holds.
    {"sh510050", "50ETF", 2.563, 400e6},
    {"sh510300", "沪深300ETF", 3.912, 150e6},
    {"sh510500", "500ETF", 5.684, 50e6},
    {"sz159915", "创业板ETF", 2.134, 600e6},
    {"sz159919", "300ETF", 4.035, 30e6},
    // Beijing exchange; only Tencent's symbols reach it.
    {"bj899050", "北证50", 1120.450, 90e6},
    {"bj430047", "诺思兰德", 12.36, 3e6},
    {"bj830799", "艾融软件", 25.80, 2e6},
};

// Index volumes are turned into an amount with a typical price per share.
constexpr double IndexYuanPerShare = 11.8;

std::uint64_t NextRandom(std::uint64_t& state) {
    // splitmix64: small, fast and the same on every platform.
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

double Uniform(std::uint64_t& state) {
    return static_cast<double>(NextRandom(state) >> 11) * 0x1.0p-53;
}

std::uint64_t HashSymbol(std::string_view symbol) {
    std::uint64_t hash = 1469598103934665603ULL;
    for (char c : symbol) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    }
    return hash;
}

int Decimals(SecurityKind kind) {
    switch (kind) {
        case SecurityKind::Index:
        case SecurityKind::Fund:
        case SecurityKind::BShareShanghai:
            return 3;
        default:
            return 2;
    }
}

double Tick(SecurityKind kind) {
    return Decimals(kind) == 3 ? 0.001 : 0.01;
}

double LimitShare(SecurityKind kind) {
    switch (kind) {
        case SecurityKind::GrowthStock:
            return 0.20;
        case SecurityKind::BeijingStock:
            return 0.30;
        default:
            return 0.10;
    }
}

double RoundToTick(double value, SecurityKind kind) {
    const double tick = Tick(kind);
    return std::round(value / tick) * tick;
}

double UpperLimit(const Security& s) {
    return RoundToTick(s.prevClose * (1 + LimitShare(s.kind)), s.kind);
}

double LowerLimit(const Security& s) {
    return RoundToTick(s.prevClose * (1 - LimitShare(s.kind)), s.kind);
}

// Appends a separator and a field. Built with two appends, not a temporary "," + field, which
// GCC 12 takes for overlapping copies at -O3.
void AddField(std::string& line, char separator, const std::string& field) {
    line += separator;
    line += field;
}

std::string Format(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string FormatInteger(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.0f", std::floor(value + 0.5));
    return text;
}

std::string Date(const SimTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", t.year, t.month, t.day);
    return text;
}

std::string Clock(const SimTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour, t.minute, t.second);
    return text;
}

}  // namespace

SecurityKind KindOf(std::string_view symbol) {
    const std::string_view market = symbol.substr(0, 2);
    const std::string_view code = symbol.size() > 2 ? symbol.substr(2) : std::string_view();
    if (market == "bj") {
        return code.starts_with("899") ? SecurityKind::Index : SecurityKind::BeijingStock;
    }
    if (market == "sh") {
        if (code.starts_with("000")) {
            return SecurityKind::Index;
        }
        if (code.starts_with("688") || code.starts_with("689")) {
            return SecurityKind::GrowthStock;
        }
        if (code.starts_with("5")) {
            return SecurityKind::Fund;
        }
        if (code.starts_with("900")) {
            return SecurityKind::BShareShanghai;
        }
        return SecurityKind::Stock;
    }
    if (code.starts_with("399")) {
        return SecurityKind::Index;
    }
    if (code.starts_with("300") || code.starts_with("301")) {
        return SecurityKind::GrowthStock;
    }
    if (code.starts_with("1")) {
        return SecurityKind::Fund;
    }
    if (code.starts_with("2")) {
        return SecurityKind::BShareShenzhen;
    }
    return SecurityKind::Stock;
}

bool IsMarketSymbol(std::string_view symbol) {
    if (symbol.size() != 8 ||
        (!symbol.starts_with("sh") && !symbol.starts_with("sz") && !symbol.starts_with("bj"))) {
        return false;
    }
    return std::all_of(symbol.begin() + 2, symbol.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

Market::Market(std::uint64_t seed) : seed_(seed) {
    Reset(seed);
}

void Market::Reset(std::uint64_t seed) {
    seed_ = seed;
    for (const Listing& listing : Listings) {
        if (const Security* existing = Find(listing.symbol); existing && existing->fixed) {
            continue;
        }
        Security security;
        security.symbol = listing.symbol;
        security.nameGbk = ToGbk(listing.name);
        security.nameUtf8 = listing.name;
        security.kind = KindOf(listing.symbol);
        security.prevClose = listing.prevClose;
        security.dayVolume = listing.dayVolume;
        Build(security);
        securities_.insert_or_assign(security.symbol, std::move(security));
    }
}

void Market::Build(Security& s) {
    s.random = seed_ ^ HashSymbol(s.symbol);
    NextRandom(s.random);
    const double scale = s.kind == SecurityKind::Index ? 0.35 : 1.0;
    // About two in five securities drift down over the day, the rest up.
    const double direction = Uniform(s.random) < 0.4 ? -1.0 : 1.0;
    s.drift = direction * (0.0002 + Uniform(s.random) * 0.0008) * scale;
    s.change = (Uniform(s.random) - 0.5) * 0.02 * scale + s.drift * 5;
    s.open =
        std::clamp(RoundToTick(s.prevClose * (1 + s.change), s.kind), LowerLimit(s), UpperLimit(s));
    s.price = s.open;
    s.high = s.open;
    s.low = s.open;
    s.volume = static_cast<long long>(s.dayVolume * (0.04 + Uniform(s.random) * 0.04) / 100) * 100;
    s.amount = static_cast<double>(s.volume) *
               (s.kind == SecurityKind::Index ? IndexYuanPerShare : s.price);
    s.fixed = false;
    s.listed = true;
    s.lastStep = 0;
    FillBook(s, true);
}

void Market::FillBook(Security& s, bool randomVolumes) {
    s.bidPrices.fill(0);
    s.askPrices.fill(0);
    s.bidVolumes.fill(0);
    s.askVolumes.fill(0);
    if (s.kind == SecurityKind::Index) {
        return;  // indices have no order book
    }
    const double tick = Tick(s.kind);
    const double upper = UpperLimit(s);
    const double lower = LowerLimit(s);
    const double lot = s.kind == SecurityKind::Fund ? 1000 : 100;
    for (int level = 0; level < 5; ++level) {
        const auto i = static_cast<std::size_t>(level);
        const long long volume = randomVolumes
                                     ? static_cast<long long>(1 + Uniform(s.random) * 300) * 100 *
                                           static_cast<long long>(lot / 100)
                                     : (level + 1) * 100;
        const double bid = RoundToTick(s.price - tick * level, s.kind);
        const double ask = RoundToTick(s.price + tick * (level + 1), s.kind);
        // Nobody bids below the lower limit or asks above the upper one.
        if (bid >= lower - tick / 2 && bid > 0) {
            s.bidPrices[i] = bid;
            s.bidVolumes[i] = volume;
        }
        if (ask <= upper + tick / 2) {
            s.askPrices[i] = ask;
            s.askVolumes[i] = volume;
        }
    }
}

Security* Market::Find(std::string_view symbol) {
    const auto it = securities_.find(symbol);
    return it == securities_.end() ? nullptr : &it->second;
}

void Market::Advance(Security& s, std::uint64_t serial) {
    if (!moving_ || s.fixed || s.lastStep == serial) {
        return;
    }
    s.lastStep = serial;
    const double scale = s.kind == SecurityKind::Index ? 0.35 : 1.0;
    const double limit = LimitShare(s.kind);
    s.change += s.drift + (Uniform(s.random) - 0.5) * 0.008 * scale;
    s.change = std::clamp(s.change, -limit, limit);
    s.price =
        std::clamp(RoundToTick(s.prevClose * (1 + s.change), s.kind), LowerLimit(s), UpperLimit(s));
    s.high = std::max(s.high, s.price);
    s.low = std::min(s.low, s.price);
    // The volume approaches a day's worth and never passes 1.6 times it.
    const double room = s.dayVolume * 1.6 - static_cast<double>(s.volume);
    if (room > 0) {
        const auto added =
            static_cast<long long>(room * (0.002 + Uniform(s.random) * 0.004) / 100) * 100;
        s.volume += added;
        s.amount += static_cast<double>(added) *
                    (s.kind == SecurityKind::Index ? IndexYuanPerShare : s.price);
    }
    FillBook(s, true);
}

int Market::SetFixed(std::string_view symbol, const SimQuote& quote) {
    if (!IsMarketSymbol(symbol)) {
        return -1;
    }
    for (double figure :
         {quote.prevClose, quote.open, quote.price, quote.high, quote.low, quote.amount}) {
        if (!std::isfinite(figure) || figure < 0) {
            return -1;
        }
    }
    if (quote.volume < 0) {
        return -1;
    }
    auto it = securities_.find(symbol);
    if (it == securities_.end()) {
        Security added;
        added.symbol = std::string(symbol);
        added.kind = KindOf(symbol);
        added.listed = false;
        it = securities_.emplace(added.symbol, std::move(added)).first;
    }
    Security& s = it->second;
    if (!quote.name.empty() || !s.listed) {
        s.nameGbk = ToGbk(quote.name);
        s.nameUtf8 = quote.name;
    }
    s.prevClose = quote.prevClose;
    s.open = quote.open;
    s.price = quote.price;
    s.high = quote.high;
    s.low = quote.low;
    s.volume = quote.volume;
    s.amount = quote.amount;
    s.fixed = true;
    FillBook(s, false);
    return 0;
}

void Market::ClearFixed() {
    for (auto it = securities_.begin(); it != securities_.end();) {
        if (!it->second.listed) {
            it = securities_.erase(it);
            continue;
        }
        if (it->second.fixed) {
            // Back to the listing's name and figures, the walk from its start.
            for (const Listing& listing : Listings) {
                if (it->first == listing.symbol) {
                    it->second.nameGbk = ToGbk(listing.name);
                    it->second.nameUtf8 = listing.name;
                    it->second.prevClose = listing.prevClose;
                }
            }
            Build(it->second);
        }
        ++it;
    }
}

std::vector<const Security*> Market::All() const {
    std::vector<const Security*> all;
    for (const auto& [symbol, security] : securities_) {
        all.push_back(&security);
    }
    return all;
}

std::string Market::SinaLine(const Security& s, const SimTime& time, bool oldForm) {
    const int d = Decimals(s.kind);
    const bool index = s.kind == SecurityKind::Index;
    auto book = [&](double price, long long volume) {
        if (index) {
            return std::string("0,0");
        }
        return std::to_string(volume) + "," + Format(price, d);
    };
    std::string line = "var hq_str_" + s.symbol + "=\"" + s.nameGbk;
    AddField(line, ',', Format(s.open, d));
    AddField(line, ',', Format(s.prevClose, d));
    AddField(line, ',', Format(s.price, d));
    AddField(line, ',', Format(s.high, d));
    AddField(line, ',', Format(s.low, d));
    AddField(line, ',', index ? std::string("0") : Format(s.bidPrices[0], d));
    AddField(line, ',', index ? std::string("0") : Format(s.askPrices[0], d));
    AddField(line, ',', std::to_string(s.volume));
    AddField(line, ',', FormatInteger(s.amount));
    for (std::size_t i = 0; i < 5; ++i) {
        AddField(line, ',', book(s.bidPrices[i], s.bidVolumes[i]));
    }
    for (std::size_t i = 0; i < 5; ++i) {
        AddField(line, ',', book(s.askPrices[i], s.askVolumes[i]));
    }
    AddField(line, ',', Date(time));
    AddField(line, ',', Clock(time));
    line += oldForm ? "\";" : ",00,\";";
    return line;
}

std::string Market::NetEaseLine(const Security& s, std::string_view symbol, const SimTime& time) {
    const int d = Decimals(s.kind);
    const bool index = s.kind == SecurityKind::Index;
    std::string line = "var quote_" + std::string(symbol) + "='" + std::string(symbol);
    AddField(line, ';', s.nameGbk);
    AddField(line, ';', Format(s.prevClose, d));
    AddField(line, ';', Format(s.open, d));
    AddField(line, ';', FormatInteger(s.amount));
    AddField(line, ';', std::to_string(s.volume));
    AddField(line, ';', index ? std::string("0") : Format(s.bidPrices[0], d));
    AddField(line, ';', index ? std::string("0") : Format(s.askPrices[0], d));
    AddField(line, ';', Format(s.high, d));
    AddField(line, ';', Format(s.low, d));
    AddField(line, ';', Format(s.price, d));
    AddField(line, ';', Date(time));
    AddField(line, ' ', Clock(time));
    line += "';QuoteData.show_quote();";
    return line;
}

std::string Market::TencentLine(const Security& s, const SimTime& time) {
    const int d = Decimals(s.kind);
    const bool index = s.kind == SecurityKind::Index;
    const std::string_view market = std::string_view(s.symbol).substr(0, 2);
    // Lots and whole yuan, from the same figures as the other services' lines, so that every
    // service tells the same quote.
    const long long lots = s.volume / 100;
    const double amount = std::floor(s.amount + 0.5);
    std::vector<std::string> f;
    f.emplace_back(market == "sh" ? "1" : market == "sz" ? "51" : "62");  // 0 market
    f.push_back(s.nameGbk);                                               // 1
    f.push_back(s.symbol.substr(2));                                      // 2 code
    f.push_back(Format(s.price, d));                                      // 3
    f.push_back(Format(s.prevClose, d));                                  // 4
    f.push_back(Format(s.open, d));                                       // 5
    f.push_back(std::to_string(lots));                                    // 6 volume, lots
    f.push_back(std::to_string(lots / 2));                                // 7 bought at the ask
    f.push_back(std::to_string(lots - lots / 2));                         // 8 sold at the bid
    for (const auto* side : {&s.bidPrices, &s.askPrices}) {               // 9 to 28 the book
        const auto& volumes = side == &s.bidPrices ? s.bidVolumes : s.askVolumes;
        for (std::size_t i = 0; i < 5; ++i) {
            f.push_back(index ? std::string("0.00") : Format((*side)[i], d));
            f.push_back(index ? std::string("0") : std::to_string(volumes[i] / 100));
        }
    }
    f.emplace_back();  // 29 latest trades
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d%02d", time.year, time.month, time.day,
                  time.hour, time.minute, time.second);
    f.emplace_back(stamp);                                                            // 30
    f.push_back(Format(s.price - s.prevClose, d));                                    // 31
    f.push_back(Format(s.prevClose > 0 ? (s.price / s.prevClose - 1) * 100 : 0, 2));  // 32
    f.push_back(Format(s.high, d));                                                   // 33
    f.push_back(Format(s.low, d));                                                    // 34
    f.push_back(Format(s.price, d) + "/" + std::to_string(lots) + "/" + FormatInteger(amount));
    f.push_back(std::to_string(lots));     // 36
    f.push_back(Format(amount / 1e4, 4));  // 37 turnover, 10,000 yuan
    f.emplace_back();                      // 38 turnover rate
    f.emplace_back();                      // 39 P/E
    f.emplace_back();                      // 40
    f.push_back(Format(s.high, d));        // 41
    f.push_back(Format(s.low, d));         // 42
    f.push_back(Format(s.prevClose > 0 ? (s.high - s.low) / s.prevClose * 100 : 0, 2));  // 43
    f.emplace_back();                       // 44 market value
    f.emplace_back();                       // 45
    f.emplace_back();                       // 46 P/B
    f.push_back(Format(UpperLimit(s), d));  // 47
    f.push_back(Format(LowerLimit(s), d));  // 48
    std::string line = "v_" + s.symbol + "=\"";
    for (std::size_t i = 0; i < f.size(); ++i) {
        line += f[i];
        line += '~';
    }
    line += "\";";
    return line;
}

}  // namespace vemo::sim
