// The three quote services: what they answer, in which bytes, and that the answers read back
// the way the program reads them.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/marketsim/SimClient.h"
#include "tools/marketsim/MarketSim.h"

namespace vemo {
namespace {

using simtest::Direct;
using simtest::Fetch;
using simtest::FetchOptions;

std::vector<std::string> Lines(const std::string& body) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < body.size()) {
        const auto lf = body.find('\n', start);
        lines.push_back(body.substr(start, lf - start));
        start = lf == std::string::npos ? body.size() : lf + 1;
    }
    return lines;
}

struct Read {
    std::string code;
    std::string name;
    double open = 0, prevClose = 0, price = 0, high = 0, low = 0;
    long long volumeLots = 0;
    double turnover = 0;
};

// Reads a Sina answer step by step as the ticker does, so the simulator's lines are checked
// against the reader they are made for rather than against themselves.
std::vector<Read> ReadSina(const std::string& body, std::string& dataTime) {
    std::vector<Read> records;
    for (std::string line : Lines(body)) {
        if (line.size() < 50) {
            continue;
        }
        while (line.find(';') != std::string::npos && line.find(';') < 50) {
            line.erase(0, line.find(';') + 1);
        }
        const auto marker = line.find("var hq_str");
        if (line.find(';') == std::string::npos || marker == std::string::npos) {
            continue;
        }
        Read r;
        r.code = line.substr(marker + 11, 8);
        std::string rest = line.substr(marker + 21);
        auto next = [&] {
            const auto comma = rest.find(',');
            std::string field = rest.substr(0, comma);
            rest.erase(0, comma == std::string::npos ? rest.size() : comma + 1);
            return field;
        };
        r.name = next();
        r.open = std::atof(next().c_str());
        r.prevClose = std::atof(next().c_str());
        r.price = std::atof(next().c_str());
        r.high = std::atof(next().c_str());
        r.low = std::atof(next().c_str());
        next();
        next();
        r.volumeLots = std::atoll(next().c_str()) / 100;
        if (records.empty()) {
            std::string time = rest.substr(rest.size() - 21, 19);
            for (char& c : time) {
                c = c == ',' ? ' ' : c;
            }
            dataTime = time;
        }
        r.turnover = std::atof(next().c_str()) * 0.0001;
        records.push_back(r);
    }
    return records;
}

// The same for NetEase: lines joined, entries found by their marker, fields by semicolons.
std::vector<Read> ReadNetEase(const std::string& body, std::string& dataTime) {
    std::string text;
    for (const std::string& line : Lines(body)) {
        text += line;
    }
    std::vector<Read> records;
    std::size_t at = text.find("var quote_");
    while (at != std::string::npos) {
        text.erase(0, at);
        const auto open = text.find("='");
        if (open == std::string::npos) {
            break;
        }
        std::size_t pos = open + 2;
        auto next = [&] {
            const auto semicolon = text.find(';', pos);
            std::string field = text.substr(pos, semicolon - pos);
            pos = semicolon == std::string::npos ? text.size() : semicolon + 1;
            return field;
        };
        Read r;
        r.code = next();
        r.name = next();
        r.prevClose = std::atof(next().c_str());
        r.open = std::atof(next().c_str());
        r.turnover = std::atof(next().c_str()) * 0.0001;
        r.volumeLots = std::atoll(next().c_str()) / 100;
        next();
        next();
        r.high = std::atof(next().c_str());
        r.low = std::atof(next().c_str());
        const std::size_t priceAt = pos;
        r.price = std::atof(next().c_str());
        if (records.empty()) {
            const auto end = text.find("';QuoteData.show_quote();");
            dataTime = end != std::string::npos && end >= 19 ? text.substr(end - 19, 19) : "";
        }
        records.push_back(r);
        at = text.find("var quote_", priceAt);
    }
    return records;
}

class QuoteServiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        sim.SetTime(SimTime{2008, 1, 11, 15, 5, 32});
        ASSERT_EQ(sim.Start(0), 0);
        proxy = "127.0.0.1:" + std::to_string(sim.Port());
    }
    std::string ViaProxy(const std::string& url) {
        FetchOptions options;
        options.proxy = proxy;
        const auto result = Fetch(url, options);
        EXPECT_EQ(result.code, CURLE_OK);
        EXPECT_EQ(result.status, 200);
        return result.body;
    }

    MarketSimulator sim;
    std::string proxy;
};

TEST_F(QuoteServiceTest, SinaAnswersEachSymbolInRequestOrderInGbk) {
    const auto result =
        Fetch(Direct(sim.Port(), "/list=sz000002,sh601006,sh600001,sh600000,sz000002,300750"));
    ASSERT_EQ(result.code, CURLE_OK);
    EXPECT_EQ(result.status, 200);
    EXPECT_NE(result.headers.find("Content-Type: application/javascript; charset=GBK\r\n"),
              std::string::npos);
    const auto lines = Lines(result.body);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0].rfind("var hq_str_sz000002=\"" + std::string(simtest::VankeGbk) + ",", 0),
              0u);
    EXPECT_EQ(lines[1].rfind("var hq_str_sh601006=\"" + std::string(simtest::DaqinGbk) + ",", 0),
              0u);
    EXPECT_EQ(lines[2], "var hq_str_sh600001=\"\";");
    EXPECT_EQ(lines[3].rfind("var hq_str_sh600000=\"" + std::string(simtest::PufaGbk) + ",", 0),
              0u);
    EXPECT_EQ(lines[4].rfind("var hq_str_sz000002=", 0), 0u);
    // A code without a market prefix is nothing the service lists.
    EXPECT_EQ(lines[5], "var hq_str_300750=\"\";");
    EXPECT_EQ(result.body.back(), '\n');
}

TEST_F(QuoteServiceTest, SinaLinesReadBackAsTheTickerReadsThem) {
    std::string dataTime;
    sim.SetSinaOldForm(true);
    const auto records = ReadSina(
        ViaProxy("http://hq.sinajs.cn/list=sh000001,sh600519,sz300750,sz159915"), dataTime);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(dataTime, "2008-01-11 15:05:32");
    const char* codes[] = {"sh000001", "sh600519", "sz300750", "sz159915"};
    for (std::size_t i = 0; i < records.size(); ++i) {
        const Read& r = records[i];
        EXPECT_EQ(r.code, codes[i]);
        EXPECT_GT(r.prevClose, 0);
        EXPECT_GE(r.high, r.price);
        EXPECT_LE(r.low, r.price);
        EXPECT_GE(r.high, r.open);
        EXPECT_LE(r.low, r.open);
        EXPECT_GT(r.volumeLots, 0);
        EXPECT_GT(r.turnover, 0);
        const double limit = r.code == "sz300750" ? 0.2 : 0.1;
        EXPECT_LE(std::abs(r.price / r.prevClose - 1), limit + 1e-9) << r.code;
    }
    EXPECT_EQ(records[3].name,
              "\xB4\xB4\xD2\xB5\xB0\xE5"
              "ETF");  // 创业板ETF, nine bytes
}

TEST_F(QuoteServiceTest, FixedFiguresGiveExactLinesInBothForms) {
    ASSERT_EQ(
        sim.SetQuote("sh600000", {"浦发银行", 7.50, 7.52, 7.61, 7.65, 7.48, 12345600, 93456789.4}),
        0);
    const std::string expectedSina =
        std::string("var hq_str_sh600000=\"") + simtest::PufaGbk +
        ",7.52,7.50,7.61,7.65,7.48,7.61,7.62,12345600,93456789,100,7.61,200,7.60,300,7.59,400,"
        "7.58,500,7.57,100,7.62,200,7.63,300,7.64,400,7.65,500,7.66,2008-01-11,15:05:32";
    EXPECT_EQ(Fetch(Direct(sim.Port(), "/list=sh600000")).body, expectedSina + ",00,\";\n");
    sim.SetSinaOldForm(true);
    EXPECT_EQ(Fetch(Direct(sim.Port(), "/list=sh600000")).body, expectedSina + "\";\n");

    const std::string expectedNetEase =
        std::string("var quote_0600000='0600000;") + simtest::PufaGbk +
        ";7.50;7.52;93456789;12345600;7.61;7.62;7.65;7.48;7.61;2008-01-11 15:05:32';"
        "QuoteData.show_quote();\n";
    EXPECT_EQ(ViaProxy("http://api.money.126.net/?0600000"), expectedNetEase);

    std::string dataTime;
    const auto read = ReadSina(Fetch(Direct(sim.Port(), "/list=sh600000")).body, dataTime);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].volumeLots, 123456);
    EXPECT_NEAR(read[0].turnover, 9345.6789, 1e-6);

    // Without fixed figures the security walks again.
    sim.ClearFixed();
    EXPECT_EQ(Fetch(Direct(sim.Port(), "/list=sh600000")).body.find(",7.52,7.50,7.61,"),
              std::string::npos);
}

TEST_F(QuoteServiceTest, NetEaseAnswersListedSymbolsAndLeavesOutTheRest) {
    const std::string body = ViaProxy(
        "http://api.money.126.net/?1000001;0600001;0000001;1399001;0600000;1000001,300750");
    std::string dataTime;
    const auto records = ReadNetEase(body, dataTime);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0].code, "1000001");
    EXPECT_EQ(records[1].code, "0000001");
    EXPECT_EQ(records[1].name, "\xC9\xCF\xD6\xA4\xD6\xB8\xCA\xFD");  // 上证指数
    EXPECT_EQ(records[2].code, "1399001");
    EXPECT_EQ(records[3].code, "0600000");
    EXPECT_EQ(records[3].name, simtest::PufaGbk);
    EXPECT_EQ(dataTime, "2008-01-11 15:05:32");
    for (const Read& r : records) {
        EXPECT_GT(r.price, 0);
        EXPECT_GE(r.high, r.price);
        EXPECT_LE(r.low, r.price);
        EXPECT_GT(r.volumeLots, 0);
    }
    for (const std::string& line : Lines(body)) {
        EXPECT_TRUE(line.ends_with("';QuoteData.show_quote();")) << line;
    }
}

TEST_F(QuoteServiceTest, EmptyEntryAndOldFormSwitchPerRequest) {
    sim.SetEmptyEntry("sh600000", true);
    EXPECT_EQ(Lines(Fetch(Direct(sim.Port(), "/list=sh600000,sz000001")).body)[0],
              "var hq_str_sh600000=\"\";");
    EXPECT_EQ(Lines(Fetch(Direct(sim.Port(), "/?0600000;1000001")).body).size(), 1u);
    sim.SetEmptyEntry("sh600000", false);
    const auto lines = Lines(Fetch(Direct(sim.Port(), "/list=sh600000")).body);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].ends_with(",2008-01-11,15:05:32,00,\";"));
    sim.SetSinaOldForm(true);
    EXPECT_TRUE(
        Lines(Fetch(Direct(sim.Port(), "/list=sh600000")).body)[0].ends_with(",15:05:32\";"));
}

TEST_F(QuoteServiceTest, FixedLinesReplaceAnswersByteForByte) {
    const std::string sina = "var hq_str_sh600000=\"\xB2\xE2\xCA\xD4,1,2,3\";";
    const std::string netease = "var quote_0600000='0600000;x';QuoteData.show_quote();";
    EXPECT_EQ(sim.SetFixedLines(sina + "\r\n\n" + netease + "\n"), 2);
    EXPECT_EQ(sim.SetFixedLines("var hq_str_sh600519=\"x\";\nnot a quote line\n"), -1);
    EXPECT_EQ(Fetch(Direct(sim.Port(), "/list=sh600519,sh600000")).body.find("=\"x\""),
              std::string::npos);
    EXPECT_EQ(Lines(Fetch(Direct(sim.Port(), "/list=sh600519,sh600000")).body)[1], sina);
    EXPECT_EQ(Fetch(Direct(sim.Port(), "/?0600000")).body, netease + "\n");
}

TEST_F(QuoteServiceTest, PricesMoveWithRequestsAndRepeatForTheSameSeed) {
    const std::string list = "/list=sh600000,sz000001,sh000001,sz300750,sh510050";
    std::vector<std::string> first;
    for (int i = 0; i < 5; ++i) {
        first.push_back(Fetch(Direct(sim.Port(), list)).body);
    }
    EXPECT_NE(first[0], first[4]);

    MarketSimulator same;
    same.SetTime(SimTime{2008, 1, 11, 15, 5, 32});
    ASSERT_EQ(same.Start(0), 0);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(Fetch(Direct(same.Port(), list)).body, first[static_cast<std::size_t>(i)]);
    }

    MarketSimulator other(7);
    other.SetTime(SimTime{2008, 1, 11, 15, 5, 32});
    ASSERT_EQ(other.Start(0), 0);
    EXPECT_NE(Fetch(Direct(other.Port(), list)).body, first[0]);

    sim.SetMoving(false);
    const std::string frozen = Fetch(Direct(sim.Port(), list)).body;
    EXPECT_EQ(Fetch(Direct(sim.Port(), list)).body, frozen);
}

std::vector<std::string> TencentFields(const std::string& line) {
    std::vector<std::string> fields;
    const auto open = line.find("=\"");
    const auto close = line.rfind('"');
    if (open == std::string::npos || close <= open + 1) {
        return fields;
    }
    const std::string value = line.substr(open + 2, close - open - 2);
    std::size_t start = 0;
    while (start <= value.size()) {
        const auto tilde = value.find('~', start);
        fields.push_back(value.substr(start, tilde - start));
        if (tilde == std::string::npos) {
            break;
        }
        start = tilde + 1;
    }
    return fields;
}

TEST_F(QuoteServiceTest, TencentAnswersInItsFormDirectlyAndThroughTheProxy) {
    const std::string list = "sh600000,bj430047,sz399001,sh600001,300750,sh510300";
    const std::string direct = Fetch(Direct(sim.Port(), "/q=" + list)).body;
    sim.SetMoving(false);
    const auto lines = Lines(ViaProxy("http://qt.gtimg.cn/q=" + list));
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(Lines(direct).size(), 6u);
    EXPECT_EQ(lines[3], "v_pv_none_match=\"1\";");
    EXPECT_EQ(lines[4], "v_pv_none_match=\"1\";");
    struct Expect {
        std::size_t line;
        const char* symbol;
        const char* market;
        const char* code;
    };
    for (const Expect& e :
         {Expect{0, "sh600000", "1", "600000"}, Expect{1, "bj430047", "62", "430047"},
          Expect{2, "sz399001", "51", "399001"}, Expect{5, "sh510300", "1", "510300"}}) {
        SCOPED_TRACE(e.symbol);
        const std::string& line = lines[e.line];
        EXPECT_EQ(line.rfind(std::string("v_") + e.symbol + "=\"", 0), 0u);
        EXPECT_TRUE(line.ends_with("~\";"));
        const std::vector<std::string> f = TencentFields(line);
        ASSERT_GE(f.size(), 38u);
        EXPECT_EQ(f[0], e.market);
        EXPECT_EQ(f[2], e.code);
        EXPECT_EQ(f[30], "20080111150532");
        const double price = std::atof(f[3].c_str());
        const double prevClose = std::atof(f[4].c_str());
        EXPECT_GT(prevClose, 0);
        EXPECT_LE(std::atof(f[34].c_str()), price);  // low
        EXPECT_GE(std::atof(f[33].c_str()), price);  // high
        EXPECT_GT(std::atoll(f[6].c_str()), 0);      // lots
        EXPECT_GT(std::atof(f[37].c_str()), 0);      // ten thousands of yuan
        // Beijing moves up to 30 % a day.
        EXPECT_LE(std::abs(price / prevClose - 1), (e.market[0] == '6' ? 0.3 : 0.1) + 1e-9);
    }
    EXPECT_EQ(TencentFields(lines[0])[1], simtest::PufaGbk);
    EXPECT_EQ(TencentFields(lines[5])[1],
              "\xBB\xA6\xC9\xEE"
              "300ETF");  // 沪深300ETF, ten bytes
}

TEST_F(QuoteServiceTest, TencentTellsTheSameQuoteAsSina) {
    ASSERT_EQ(
        sim.SetQuote("sh600000", {"浦发银行", 7.50, 7.52, 7.61, 7.65, 7.48, 12345678, 93456789.4}),
        0);
    const auto f = TencentFields(Lines(Fetch(Direct(sim.Port(), "/q=sh600000")).body)[0]);
    ASSERT_GE(f.size(), 38u);
    EXPECT_EQ(f[3], "7.61");
    EXPECT_EQ(f[4], "7.50");
    EXPECT_EQ(f[5], "7.52");
    EXPECT_EQ(f[6], "123456");
    EXPECT_EQ(f[33], "7.65");
    EXPECT_EQ(f[34], "7.48");
    EXPECT_EQ(f[37], "9345.6789");

    std::string dataTime;
    const auto sina = ReadSina(Fetch(Direct(sim.Port(), "/list=sh600000")).body, dataTime);
    ASSERT_EQ(sina.size(), 1u);
    EXPECT_EQ(sina[0].volumeLots, std::atoll(f[6].c_str()));
    EXPECT_DOUBLE_EQ(static_cast<float>(sina[0].turnover),
                     static_cast<float>(std::atof(f[37].c_str())));
}

TEST_F(QuoteServiceTest, TencentEmptyEntriesFixedLinesAndFailures) {
    sim.SetEmptyEntry("sh600000", true);
    EXPECT_EQ(Fetch(Direct(sim.Port(), "/q=sh600000,sz000001"))
                  .body.rfind("v_pv_none_match=\"1\";\nv_sz000001=\"51~", 0),
              0u);
    sim.SetEmptyEntry("sh600000", false);

    const std::string fixed = "v_sh600000=\"1~\xB2\xE2\xCA\xD4~600000~1~2~3\";";
    EXPECT_EQ(sim.SetFixedLines(fixed + "\n"), 1);
    EXPECT_EQ(Fetch(Direct(sim.Port(), "/q=sh600000")).body, fixed + "\n");

    // Sina's refusal of requests that are not its own pages, on Sina alone.
    SimBehaviour refused;
    refused.failure = SimFailure::HttpError;
    refused.status = 403;
    refused.body = "Kinsoku jikou desu!";
    sim.SetBehaviour(SimService::Sina, refused);
    simtest::FetchOptions proxied;
    proxied.proxy = proxy;
    const auto sina = Fetch("http://hq.sinajs.cn/list=sh600000", proxied);
    EXPECT_EQ(sina.status, 403);
    EXPECT_EQ(sina.body, "Kinsoku jikou desu!");
    EXPECT_EQ(Fetch("http://qt.gtimg.cn/q=sh600000", proxied).status, 200);

    SimBehaviour close;
    close.failure = SimFailure::Close;
    sim.SetBehaviour(SimService::Tencent, close);
    EXPECT_EQ(Fetch("http://qt.gtimg.cn/q=sh600000", proxied).code, CURLE_GOT_NOTHING);
    EXPECT_EQ(Fetch(Direct(sim.Port(), "/?0600000")).status, 200);
    SimService parsed = SimService::All;
    EXPECT_TRUE(ParseSimService("tencent", parsed));
    EXPECT_EQ(parsed, SimService::Tencent);
}

}  // namespace
}  // namespace vemo
