// The price walks over a long session, without the network in between.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "tools/marketsim/HttpMessage.h"
#include "tools/marketsim/Market.h"

namespace vemo::sim {
namespace {

TEST(MarketWalkTest, PricesStayWithinTheDailyLimitsAndGoBothWays) {
    Market market(SimDefaultSeed);
    int rising = 0;
    int falling = 0;
    int listed = 0;
    for (const Security* listedSecurity : market.All()) {
        Security& s = *market.Find(listedSecurity->symbol);
        ++listed;
        const double limit = s.kind == SecurityKind::GrowthStock    ? 0.2
                             : s.kind == SecurityKind::BeijingStock ? 0.3
                                                                    : 0.1;
        const double tick = s.symbol.starts_with("sz2") || s.kind == SecurityKind::Stock ||
                                    s.kind == SecurityKind::GrowthStock ||
                                    s.kind == SecurityKind::BeijingStock
                                ? 0.01
                                : 0.001;
        long long lastVolume = s.volume;
        for (std::uint64_t step = 1; step <= 2000; ++step) {
            market.Advance(s, step);
            market.Advance(s, step);  // the same request again: no second step
            ASSERT_LE(s.price, s.prevClose * (1 + limit) + tick / 2) << s.symbol;
            ASSERT_GE(s.price, s.prevClose * (1 - limit) - tick / 2) << s.symbol;
            ASSERT_LE(s.low, s.price);
            ASSERT_GE(s.high, s.price);
            ASSERT_GE(s.volume, lastVolume);
            ASSERT_LT(s.volume, 2'147'483'647LL);
            ASSERT_NEAR(std::round(s.price / tick) * tick, s.price, tick / 1000) << s.symbol;
            lastVolume = s.volume;
            if (s.kind != SecurityKind::Index && s.askPrices[0] != 0) {
                ASSERT_NEAR(s.askPrices[0] - s.bidPrices[0], tick, tick / 1000) << s.symbol;
            }
        }
        (s.price > s.prevClose ? rising : falling) += 1;
    }
    EXPECT_GE(listed, 40);
    EXPECT_GE(rising, 5);
    EXPECT_GE(falling, 5);
}

TEST(MarketWalkTest, NamesAreGbkAndOneIsTooLongForNineBytes) {
    Market market(SimDefaultSeed);
    ASSERT_NE(market.Find("sz000002"), nullptr);
    EXPECT_EQ(market.Find("sz000002")->nameGbk, "\xCD\xF2\xBF\xC6\xA3\xC1");          // 万科Ａ
    EXPECT_EQ(market.Find("sh000012")->nameGbk, "\xB9\xFA\xD5\xAE\xD6\xB8\xCA\xFD");  // 国债指数
    std::size_t longest = 0;
    for (const Security* s : market.All()) {
        longest = std::max(longest, s->nameGbk.size());
        EXPECT_EQ(s->nameGbk.find('?'), std::string::npos) << s->symbol;
    }
    EXPECT_GT(longest, 9u);
    for (int i = 1; i <= 12; ++i) {
        char symbol[16];
        std::snprintf(symbol, sizeof symbol, "sh%06d", i);
        EXPECT_NE(market.Find(symbol), nullptr) << symbol;
    }
}

TEST(HttpMessageTest, RequestLinesAndCredentials) {
    ParsedRequest request;
    ASSERT_EQ(ParseRequestHead("GET http://Hq.Sinajs.cn:80?x HTTP/1.0\r\nA: b\r\n\r\n", request),
              0);
    EXPECT_TRUE(request.absoluteForm);
    EXPECT_EQ(HostOf(request.authority), "hq.sinajs.cn");
    EXPECT_EQ(request.pathAndQuery, "/?x");
    ASSERT_EQ(ParseRequestHead("GET /a b HTTP/1.1\nHost: h\n\n", request), 0);
    EXPECT_EQ(request.target, "/a b");
    EXPECT_EQ(ParseRequestHead("GET /a\x01 HTTP/1.1\r\n\r\n", request), 400);
    EXPECT_EQ(ParseRequestHead("GET /a HTTP/1.1\r\n folded: x\r\n\r\n", request), 400);

    std::string decoded;
    EXPECT_EQ(Base64Encode("alice:s3cret:x"), "YWxpY2U6czNjcmV0Ong=");
    ASSERT_TRUE(Base64Decode("YWxpY2U6czNjcmV0Ong=", decoded));
    EXPECT_EQ(decoded, "alice:s3cret:x");
    EXPECT_FALSE(Base64Decode("YW=xY2U6", decoded));
    EXPECT_FALSE(Base64Decode("YWxpY2U", decoded));
    EXPECT_EQ(PortOf("127.0.0.1:8080"), 8080);
    EXPECT_EQ(PortOf("host"), 80);
    EXPECT_EQ(PortOf("host:x"), -1);
}

}  // namespace
}  // namespace vemo::sim
