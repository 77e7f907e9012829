// The look-up answers of the two services, reached directly and as a proxy.

#include <gtest/gtest.h>

#include <string>

#include "tests/marketsim/SimClient.h"
#include "tools/marketsim/MarketSim.h"

namespace vemo {
namespace {

using simtest::Direct;
using simtest::Fetch;
using simtest::FetchOptions;

class LookupServiceTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(sim.Start(0), 0); }

    std::string Proxied(const std::string& url) {
        FetchOptions options;
        options.proxy = "127.0.0.1:" + std::to_string(sim.Port());
        const simtest::FetchResult result = Fetch(url, options);
        EXPECT_EQ(result.status, 200) << url;
        return result.body;
    }

    MarketSimulator sim;
};

constexpr char SinaPath[] = "/suggest/type=11,12,15,21,22,23,24,25,26&key=";

TEST_F(LookupServiceTest, SinaAnswersInGbkFromItsListing) {
    // 浦发 in UTF-8, percent-encoded; the answer's name is GBK.
    EXPECT_EQ(Proxied(std::string("http://suggest3.sinajs.cn") + SinaPath + "%E6%B5%A6%E5%8F%91"),
              "var suggestvalue=\"\xC6\xD6\xB7\xA2\xD2\xF8\xD0\xD0,11,600000,sh600000,"
              "\xC6\xD6\xB7\xA2\xD2\xF8\xD0\xD0,,\xC6\xD6\xB7\xA2\xD2\xF8\xD0\xD0,99,1,,\";\n");
    // The index and the bank of the same digits, each in the listing's order.
    const std::string digits = Fetch(Direct(sim.Port(), std::string(SinaPath) + "000001")).body;
    // After the answer's opening and the eight bytes of 上证指数: the index comes first.
    EXPECT_EQ(digits.find(",11,000001,sh000001,"), 26u);
    EXPECT_NE(digits.find(";\xC6\xBD\xB0\xB2\xD2\xF8\xD0\xD0,11,000001,sz000001,"),
              std::string::npos);
    // Kinds by type, foreign shares too; Beijing is Tencent's alone.
    EXPECT_NE(Proxied(std::string("http://suggest3.sinajs.cn") + SinaPath + "TXKG")
                  .find(",31,00700,hk00700,"),
              std::string::npos);
    EXPECT_NE(Fetch(Direct(sim.Port(), std::string(SinaPath) + "50etf"))
                  .body.find(",22,510050,sh510050,"),
              std::string::npos);
    EXPECT_EQ(Fetch(Direct(sim.Port(), std::string(SinaPath) + "nsld")).body,
              "var suggestvalue=\"\";\n");
    EXPECT_EQ(Fetch(Direct(sim.Port(), std::string(SinaPath) + "zzzz")).body,
              "var suggestvalue=\"\";\n");
}

TEST_F(LookupServiceTest, TencentWritesNamesAsEscapes) {
    EXPECT_EQ(Proxied("http://smartbox.gtimg.cn/s3/?v=2&q=%E6%B5%A6%E5%8F%91&t=all"),
              "v_hint=\"sh~600000~\\u6d66\\u53d1\\u94f6\\u884c~pfyh~GP-A\"\n");
    EXPECT_EQ(Fetch(Direct(sim.Port(), "/s3/?v=2&q=nsld&t=all")).body,
              "v_hint=\"bj~430047~\\u8bfa\\u601d\\u5170\\u5fb7~nsld~GP-A\"\n");
    EXPECT_EQ(Fetch(Direct(sim.Port(), "/s3/?v=2&q=zzzz&t=all")).body, "v_hint=\"N\"\n");
    const std::string kinds = Fetch(Direct(sim.Port(), "/s3/?v=2&q=688&t=all")).body;
    EXPECT_NE(kinds.find("sh~688981~"), std::string::npos);
    EXPECT_NE(kinds.find("~zxgj~GP-A-KCB"), std::string::npos);
}

TEST_F(LookupServiceTest, LookupsAreLoggedAndFollowTheirServiceBehaviour) {
    SimBehaviour refuse;
    refuse.failure = SimFailure::HttpError;
    refuse.status = 403;
    refuse.body = "Kinsoku jikou desu!";
    sim.SetBehaviour(SimService::Sina, refuse);
    FetchOptions options;
    options.proxy = "127.0.0.1:" + std::to_string(sim.Port());
    const std::string url = std::string("http://suggest3.sinajs.cn") + SinaPath + "pfyh";
    EXPECT_EQ(Fetch(url, options).status, 403);
    EXPECT_EQ(Fetch("http://smartbox.gtimg.cn/s3/?v=2&q=pfyh&t=all", options).status, 200);
    ASSERT_EQ(sim.Requests().size(), 2u);
    EXPECT_EQ(sim.Requests()[0].url, url);
    EXPECT_TRUE(sim.Requests()[0].viaProxy);
}

}  // namespace
}  // namespace vemo
