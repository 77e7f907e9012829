// The look-up over the network, checked at the simulator: what is sent, through which proxy,
// in which order, and that a silent service costs no more than the quote limits.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "quotes/Suggest.h"
#include "tools/marketsim/MarketSim.h"

namespace vemo {
namespace {

class LookupFetchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(sim.Start(0), 0);
        settings = DefaultTickerSettings();
        settings.proxyMode = 1;
        std::snprintf(settings.proxyServer, sizeof settings.proxyServer, "127.0.0.1:%u",
                      static_cast<unsigned>(sim.Port()));
        options.connectTimeoutSeconds = 5;
        options.stallTimeoutSeconds = 5;
        options.deadlineSeconds = 10;
    }

    MarketSimulator sim;
    TickerSettings settings{};
    FetchOptions options;
};

TEST_F(LookupFetchTest, SinaIsAskedWithTheQuoteHeadersAndItsReferer) {
    const LookupOutcome outcome = LookUp(settings, "浦发", options);
    ASSERT_EQ(outcome.provider, ProviderSina);
    ASSERT_EQ(outcome.matches.size(), 1u);
    EXPECT_EQ(outcome.matches[0].code, "600000");
    EXPECT_EQ(outcome.matches[0].name, "浦发银行");

    const std::vector<SimRequest> requests = sim.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target,
              "http://suggest3.sinajs.cn/suggest/type=11,12,15,21,22,23,24,25,26&key="
              "%E6%B5%A6%E5%8F%91");
    EXPECT_EQ(requests[0].Header("Referer"), "http://finance.sina.com.cn/");
    EXPECT_EQ(requests[0].Header("User-Agent"),
              "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1;)");
    EXPECT_EQ(requests[0].Header("Accept-Language"), "zh-cn");
}

TEST_F(LookupFetchTest, TencentAnswersWhenSinaRefusesOrHasNothingToShow) {
    SimBehaviour refuse;
    refuse.failure = SimFailure::HttpError;
    refuse.status = 403;
    refuse.body = "Kinsoku jikou desu!";
    refuse.count = 1;
    sim.SetBehaviour(SimService::Sina, refuse);
    LookupOutcome outcome = LookUp(settings, "平安", options);
    EXPECT_EQ(outcome.provider, ProviderTencent);
    ASSERT_EQ(outcome.matches.size(), 2u);
    EXPECT_EQ(outcome.matches[0].code, "601318");
    EXPECT_EQ(outcome.matches[1].pinyin, "payh");
    std::vector<SimRequest> requests = sim.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].target, "http://smartbox.gtimg.cn/s3/?v=2&q=%E5%B9%B3%E5%AE%89&t=all");
    EXPECT_EQ(requests[1].Header("Referer"), "");

    // Sina does not know the Beijing exchange; its empty answer sends the look-up on.
    sim.ClearRequests();
    outcome = LookUp(settings, "nsld", options);
    EXPECT_EQ(outcome.provider, ProviderTencent);
    ASSERT_EQ(outcome.matches.size(), 1u);
    EXPECT_EQ(outcome.matches[0].code, "430047");
    EXPECT_EQ(sim.RequestCount(), 2u);

    sim.ClearRequests();
    outcome = LookUp(settings, "qqqq", options);
    EXPECT_TRUE(outcome.answered);
    EXPECT_TRUE(outcome.matches.empty());
    EXPECT_EQ(sim.RequestCount(), 2u);
}

TEST_F(LookupFetchTest, ASilentSinaCostsTheDeadlineAndACancelEndsAtOnce) {
    SimBehaviour hang;
    hang.failure = SimFailure::Hang;
    sim.SetBehaviour(SimService::Sina, hang);
    options.deadlineSeconds = 1;
    auto start = std::chrono::steady_clock::now();
    LookupOutcome outcome = LookUp(settings, "pfyh", options);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
    EXPECT_EQ(outcome.provider, ProviderTencent);
    ASSERT_EQ(outcome.attempts.size(), 2u);
    EXPECT_EQ(outcome.attempts[0].result, FetchFailed);

    sim.ClearRequests();
    options.deadlineSeconds = 30;
    std::atomic<bool> cancel{false};
    options.cancel = &cancel;
    std::thread canceller([&] {
        sim.WaitForRequests(1, std::chrono::seconds(5));
        cancel = true;
    });
    start = std::chrono::steady_clock::now();
    outcome = LookUp(settings, "pfyh", options);
    canceller.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_TRUE(outcome.matches.empty());
    EXPECT_EQ(sim.RequestCount(), 1u);  // Tencent is not asked for a cancelled look-up
}

}  // namespace
}  // namespace vemo
