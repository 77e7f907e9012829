// Failover and kept quotes over the network, against the simulator as the three services behind
// the proxy setting: what the page shows, which service it names, and which requests reached
// each service.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "quotes/Gbk.h"
#include "quotes/QuotePage.h"
#include "quotes/QuoteUrl.h"
#include "tools/marketsim/MarketSim.h"

namespace vemo {
namespace {

class FailoverTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(sim.Start(0), 0);
        sim.SetMoving(false);
        sim.SetTime(SimTime{2026, 12, 4, 14, 35, 2});
        settings = DefaultTickerSettings();
        std::snprintf(settings.codeList, sizeof settings.codeList, ",600000,000001,1A0001");
        settings.proxyMode = 1;
        std::snprintf(settings.proxyServer, sizeof settings.proxyServer, "127.0.0.1:%u",
                      static_cast<unsigned>(sim.Port()));
        options.connectTimeoutSeconds = 5;
        options.stallTimeoutSeconds = 5;
        // The page of a working Sina, to hold the others against.
        sinaPage = Page();
        ASSERT_NE(sinaPage.find("2026-12-04 14:35:02</td>"), std::string::npos);
        sim.ClearRequests();
    }

    std::string Page() {
        BuildQuoteUrl(settings, quoteUrl);
        std::vector<char> buffer(PageBufferSize, '\0');
        rows = 2;
        cols = 3;
        RenderQuotePage(settings, quoteUrl, false, buffer, rows, cols, NetworkFetchers(options));
        return buffer.data();
    }

    // The hosts the requests went to, in order.
    std::vector<std::string> Hosts() const {
        std::vector<std::string> hosts;
        for (const SimRequest& request : sim.Requests()) {
            const std::size_t start = request.url.find("://") + 3;
            hosts.push_back(request.url.substr(start, request.url.find('/', start) - start));
        }
        return hosts;
    }

    void Fail(SimService service, SimFailure failure, int status = 500, const char* body = "") {
        SimBehaviour behaviour;
        behaviour.failure = failure;
        behaviour.status = status;
        behaviour.body = body;
        sim.SetBehaviour(service, behaviour);
    }

    static std::string Named(const char* serviceUtf8) {
        return "2026-12-04 14:35:02 " + Utf8ToGbk(serviceUtf8) + "</td>";
    }

    MarketSimulator sim;
    TickerSettings settings{};
    FetchOptions options;
    std::string quoteUrl;  // the refresh thread's, as Page() last built it
    std::string sinaPage;
    int rows = 2;
    int cols = 3;
};

constexpr char Sina[] = "hq.sinajs.cn";
constexpr char Tencent[] = "qt.gtimg.cn";
constexpr char NetEase[] = "api.money.126.net";

TEST_F(FailoverTest, WorkingChosenServiceGetsTheOnlyRequest) {
    EXPECT_EQ(Page(), sinaPage);
    EXPECT_EQ(rows, 3);
    EXPECT_EQ(Hosts(), std::vector<std::string>{Sina});
}

TEST_F(FailoverTest, SinaFailingInEachWayHandsOverToTencent) {
    struct Case {
        const char* what;
        SimFailure failure;
        int status;
        const char* body;
    };
    const Case cases[] = {
        {"403 with its refusal", SimFailure::HttpError, 403, "Kinsoku jikou desu!"},
        {"connection closed", SimFailure::Close, 0, ""},
        {"empty answer", SimFailure::HttpError, 200, ""},
    };
    const std::string named = Named("腾讯");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Fail(SimService::Sina, c.failure, c.status, c.body);
        sim.ClearRequests();
        std::string page = Page();
        EXPECT_EQ(Hosts(), (std::vector<std::string>{Sina, Tencent}));
        EXPECT_EQ(rows, 3);
        // Tencent tells the same quotes: the page is Sina's, with the service named.
        const std::size_t at = page.find(named);
        ASSERT_NE(at, std::string::npos);
        page.erase(at + 19, named.size() - 19 - 5);
        EXPECT_EQ(page, sinaPage);
    }
}

TEST_F(FailoverTest, AnswerForSomeCodesStandsAsItIs) {
    sim.SetEmptyEntry("sz000001", true);
    const std::string page = Page();
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(Hosts(), std::vector<std::string>{Sina});
    EXPECT_NE(page.find("2026-12-04 14:35:02</td>"), std::string::npos);
    EXPECT_EQ(page.find("&Code=000001 "), std::string::npos);
    EXPECT_NE(page.find("&Code=600000 "), std::string::npos);
}

TEST_F(FailoverTest, OtherChosenServicesAndTheirStandIns) {
    settings.provider = ProviderTencent;
    EXPECT_NE(Page().find("2026-12-04 14:35:02</td>"), std::string::npos);
    EXPECT_EQ(Hosts(), std::vector<std::string>{Tencent});

    sim.ClearRequests();
    Fail(SimService::Tencent, SimFailure::Close);
    std::string page = Page();
    EXPECT_NE(page.find(Named("新浪")), std::string::npos);
    EXPECT_EQ(Hosts(), (std::vector<std::string>{Tencent, Sina}));
    EXPECT_EQ(rows, 3);

    sim.ClearRequests();
    settings.provider = ProviderNetEase;
    Fail(SimService::NetEase, SimFailure::HttpError, 502, "<html>bad gateway</html>");
    Fail(SimService::Sina, SimFailure::HttpError, 403, "Kinsoku jikou desu!");
    Fail(SimService::Tencent, SimFailure::None);
    page = Page();
    EXPECT_NE(page.find(Named("腾讯")), std::string::npos);
    EXPECT_EQ(Hosts(), (std::vector<std::string>{NetEase, Sina, Tencent}));
    // The stand-in's request is built for it from the code list.
    EXPECT_EQ(sim.Requests().back().target, "http://qt.gtimg.cn/q=sh600000,sz000001,sh000001");
}

TEST_F(FailoverTest, BeijingCodesFailOverToTheServiceThatHasThem) {
    std::snprintf(settings.codeList, sizeof settings.codeList, ",430047,830799");
    const std::string page = Page();
    EXPECT_EQ(rows, 2);
    EXPECT_NE(page.find(Named("腾讯")), std::string::npos);
    EXPECT_NE(page.find("&Code=430047 "), std::string::npos);
    EXPECT_EQ(Hosts(), (std::vector<std::string>{Sina, Tencent}));
    EXPECT_EQ(sim.Requests()[1].target, "http://qt.gtimg.cn/q=bj430047,bj830799");
}

TEST_F(FailoverTest, EveryServiceFailingShowsTheErrorPageOrTheKeptQuotes) {
    Fail(SimService::All, SimFailure::Close);
    Fail(SimService::Maker, SimFailure::None);
    EXPECT_EQ(Page().find("<table"), std::string::npos);
    EXPECT_EQ(rows, 0);
    EXPECT_EQ(Hosts(), (std::vector<std::string>{Sina, Tencent, NetEase}));

    // A run that has had quotes keeps them, marked, and drops the mark with the next success.
    QuotePageSession session(NetworkFetchers(options));
    const auto refresh = [&] {
        std::vector<char> buffer(PageBufferSize, '\0');
        rows = 2;
        cols = 3;
        const RefreshReport report = session.Render(settings, quoteUrl, false, buffer, rows, cols);
        return std::make_pair(report, std::string(buffer.data()));
    };
    Fail(SimService::All, SimFailure::None);
    EXPECT_EQ(refresh().second, sinaPage);
    Fail(SimService::All, SimFailure::Close);
    Fail(SimService::Maker, SimFailure::None);
    sim.ClearRequests();
    const auto [stale, stalePage] = refresh();
    EXPECT_TRUE(stale.stale);
    EXPECT_EQ(rows, 3);
    EXPECT_NE(stalePage.find("2026-12-04 14:35:02" +
                             Utf8ToGbk(" <font color=#009900>未更新</font>") + "</td>"),
              std::string::npos);
    EXPECT_EQ(Hosts(), (std::vector<std::string>{Sina, Tencent, NetEase}));
    Fail(SimService::All, SimFailure::None);
    const auto [fresh, freshPage] = refresh();
    EXPECT_FALSE(fresh.stale);
    EXPECT_EQ(freshPage, sinaPage);
}

}  // namespace
}  // namespace vemo
