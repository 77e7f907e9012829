#include <gtest/gtest.h>

#include <string>

#include "net/HttpGet.h"
#include "tests/support/TestFiles.h"
#include "tools/marketsim/MarketSim.h"

namespace vemo {
namespace {

// The transport on its own, against the simulator on 127.0.0.1; what the quote fetchers make of
// its bodies is the fetch tests' concern.
class HttpGetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(sim.Start(0), 0);
        sim.SetMoving(false);
        settings = DefaultTickerSettings();
        options.connectTimeoutSeconds = 5;
        options.stallTimeoutSeconds = 2;
    }
    std::string Local(const std::string& pathAndQuery) const {
        return "http://127.0.0.1:" + std::to_string(sim.Port()) + pathAndQuery;
    }
    void Answer(int status, const std::string& body) {
        SimBehaviour behaviour;
        behaviour.failure = SimFailure::HttpError;
        behaviour.status = status;
        behaviour.body = body;
        sim.SetBehaviour(SimService::All, behaviour);
    }

    // A proxy of the machine would take the requests elsewhere.
    test::ScopedEnv lower{"http_proxy", std::nullopt};
    test::ScopedEnv upper{"HTTP_PROXY", std::nullopt};
    MarketSimulator sim;
    TickerSettings settings{};
    FetchOptions options;
};

TEST_F(HttpGetTest, BodyArrivesByteForByteWhateverTheStatus) {
    // Line ends, a NUL and bytes above 0x7F are the caller's to read, not the transport's.
    const std::string bytes("a\r\nb\nc\0d\xD6\xD0\r\n", 13);
    for (const int status : {200, 404, 500}) {
        SCOPED_TRACE(status);
        Answer(status, bytes);
        std::string body = "left over";
        ASSERT_EQ(HttpGet(settings, Local("/list=sh600000"), nullptr, "", body, options), FetchOk);
        EXPECT_EQ(body, bytes);
    }
}

TEST_F(HttpGetTest, HeaderBlockAndExtraLineAreSentAsLines) {
    Answer(200, "x");
    std::string body;
    ASSERT_EQ(HttpGet(settings, Local("/q"), "A: 1\r\n\r\nB: 2", "C: 3", body, options), FetchOk);
    const std::vector<SimRequest> requests = sim.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Header("A"), "1");
    EXPECT_EQ(requests[0].Header("B"), "2");
    EXPECT_EQ(requests[0].Header("C"), "3");
}

TEST_F(HttpGetTest, FailedTransferLeavesTheBodyAlone) {
    SimBehaviour cut;
    cut.failure = SimFailure::Cut;
    sim.SetBehaviour(SimService::All, cut);
    std::string body = "earlier";
    EXPECT_EQ(HttpGet(settings, Local("/list=sh600000"), nullptr, "", body, options), FetchFailed);
    EXPECT_EQ(body, "earlier");

    Answer(200, std::string(2048, 'x'));
    options.maxResponseBytes = 2047;
    EXPECT_EQ(HttpGet(settings, Local("/list=sh600000"), nullptr, "", body, options), FetchFailed);
    EXPECT_EQ(body, "earlier");

    EXPECT_EQ(HttpGet(settings, "file:///etc/passwd", nullptr, "", body, options), FetchBadUrl);
    EXPECT_EQ(body, "earlier");
}

}  // namespace
}  // namespace vemo
