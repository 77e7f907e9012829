#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "quotes/Gbk.h"
#include "quotes/Holdings.h"
#include "quotes/QuotePage.h"
#include "quotes/QuoteParsers.h"

namespace vemo {
namespace {

QuoteRecord Quote(const char* nameUtf8, const char* code, const char* price,
                  const char* prevClose) {
    QuoteRecord q{};
    std::snprintf(q.name, sizeof q.name, "%s", Utf8ToGbk(nameUtf8).c_str());
    std::snprintf(q.code, sizeof q.code, "%s", code);
    q.price = std::strtof(price, nullptr);
    q.prevClose = std::strtof(prevClose, nullptr);
    q.exactPrice = ExactPriceUnits(price);
    q.exactPrevClose = ExactPriceUnits(prevClose);
    return q;
}

// One service that answers with `records` while `answers` is set; the others always fail.
class HoldingsPageTest : public ::testing::Test {
  protected:
    QuoteFetchers Fetchers() {
        const QuoteFetcher failing = [](const TickerSettings&, std::string_view, const char*,
                                        QuoteBatch&) { return FetchFailed; };
        const QuoteFetcher service = [this](const TickerSettings&, std::string_view, const char*,
                                            QuoteBatch& batch) {
            if (!answers) {
                return FetchFailed;
            }
            for (std::size_t i = 0; i < records.size(); ++i) {
                batch.records[i] = std::make_unique<QuoteRecord>(records[i]);
            }
            batch.count = static_cast<int>(records.size());
            std::snprintf(batch.dataTime, sizeof batch.dataTime, "2022-11-11 15:00:00");
            return FetchOk;
        };
        return QuoteFetchers{service, failing, failing};
    }

    std::string Render(const HoldingTable* holdings) {
        std::vector<char> buffer(PageBufferSize, '\0');
        rows = 2;
        cols = 3;
        RenderQuotePage(settings, {}, false, buffer, rows, cols, Fetchers(), nullptr, holdings);
        return Utf8(buffer.data());
    }

    static std::string Utf8(const std::string& gbk) { return GbkToUtf8(gbk); }

    TickerSettings settings = DefaultTickerSettings();
    std::vector<QuoteRecord> records = {Quote("浦发银行", "600000", "10.23", "10.00"),
                                        Quote("深证成指", "399001", "1.234", "1.250")};
    bool answers = true;
    int rows = 0;
    int cols = 0;
};

TEST_F(HoldingsPageTest, WithoutAListedHoldingThePageIsUnchanged) {
    std::snprintf(settings.codeList, sizeof settings.codeList, "600000,399001");
    const std::string plain = Render(nullptr);
    ASSERT_NE(plain.find("<td colspan=3 align=right>2022-11-11 15:00:00</td>"), std::string::npos);
    HoldingTable empty;
    EXPECT_EQ(Render(&empty), plain);
    // A holding of a code that is not in the list (though the answer carried it) shows nothing.
    HoldingTable unlisted;
    unlisted.Set("600001", Holding{100, 0});
    unlisted.Set("60000", Holding{100, 0});
    EXPECT_EQ(Render(&unlisted), plain);
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(cols, 3);
}

TEST_F(HoldingsPageTest, ProfitColumnsAndTheRowOfSums) {
    std::snprintf(settings.codeList, sizeof settings.codeList, "600000,399001");
    HoldingTable holdings;
    holdings.Set("600000", Holding{1000, *ParseHoldingCost("9.85")});
    const std::string page = Render(&holdings);
    EXPECT_EQ(rows, 3);
    EXPECT_EQ(cols, 7);  // the profit columns take the width of two each
    EXPECT_NE(page.find("<tr class=\"cbt\" align=\"center\"><td>简称</td><td>最新价</td>"
                        "<td>涨跌(%)</td><td>当日盈亏</td><td>持仓盈亏</td></tr>"
                        "<tr><td colspan=5 bgcolor=\"#0000CC\" height=1px></td></tr>"),
              std::string::npos);
    // The held row: 1000 x 0.23 today, 1000 x 0.38 in all, gains in the up colour.
    EXPECT_NE(page.find("<td>10.23</td><td>+2.30%</td>"
                        "<td class=\"cup\" nowrap>+230.00</td><td class=\"cup\" nowrap>+380.00</td></tr>"),
              std::string::npos);
    // The row without a holding has empty cells.
    EXPECT_NE(page.find("<td>1.234</td><td>-1.28%</td><td></td><td></td></tr>"),
              std::string::npos);
    // The sums before the time line, spanning the wider table.
    EXPECT_NE(page.find("<tr align=\"right\" class=\"cbt\"><td align=\"center\">合计</td><td></td>"
                        "<td class=\"cup\" nowrap>+2.30%</td><td class=\"cup\" nowrap>+230.00</td>"
                        "<td class=\"cup\" nowrap>+380.00</td></tr>"
                        "<tr class=\"cbt\"><td colspan=5 align=right>2022-11-11 15:00:00</td></tr>"
                        "</table>"),
              std::string::npos);
}

TEST_F(HoldingsPageTest, LossesInTheDownColourNothingInThePlainOne) {
    settings.pageContent = showCode | showPrice | showChangeAmount | showChangePercent;
    std::snprintf(settings.codeList, sizeof settings.codeList, "600000,399001,000002");
    records.push_back(Quote("万科Ａ", "000002", "0.00", "8.00"));  // suspended: no price today
    HoldingTable holdings;
    holdings.Set("600000", Holding{100, *ParseHoldingCost("10.23")});  // 23.00 today, 0 in all
    holdings.Set("399001", Holding{1000, *ParseHoldingCost("2")});     // -16.00, -766.00
    holdings.Set("000002", Holding{10, *ParseHoldingCost("9")});       // 0 today, -10.00
    const std::string page = Render(&holdings);
    EXPECT_NE(page.find("<td class=\"cup\" nowrap>+23.00</td><td class=\"cbt\" nowrap>0.00</td></tr>"),
              std::string::npos);
    EXPECT_NE(page.find("<td class=\"cdn\" nowrap>-16.00</td><td class=\"cdn\" nowrap>-766.00</td></tr>"),
              std::string::npos);
    EXPECT_NE(page.find("<td>0.00</td><td>0.00</td><td>0.00%</td>"
                        "<td class=\"cbt\" nowrap>0.00</td><td class=\"cdn\" nowrap>-10.00</td></tr>"),
              std::string::npos);
    // 23 - 16 + 0 = 7 of 1000 + 1250 + 80 yesterday: +0.30%; the code column takes the caption.
    EXPECT_NE(page.find("<td align=\"center\">合计</td><td></td><td></td>"
                        "<td class=\"cup\" nowrap>+0.30%</td><td class=\"cup\" nowrap>+7.00</td>"
                        "<td class=\"cdn\" nowrap>-776.00</td></tr>"),
              std::string::npos);
    EXPECT_EQ(cols, 8);
}

TEST_F(HoldingsPageTest, HiddenHeaderAndTimeStillAddTheSums) {
    settings.pageContent = showPrice;
    std::snprintf(settings.codeList, sizeof settings.codeList, "600000");
    records.resize(1);
    HoldingTable holdings;
    holdings.Set("600000", Holding{1, 0});
    const std::string page = Render(&holdings);
    EXPECT_EQ(page.find("当日盈亏"), std::string::npos);
    EXPECT_NE(page.find("<tr align=\"right\" class=\"cbt\"><td align=\"center\">合计</td>"
                        "<td class=\"cup\" nowrap>+0.23</td><td class=\"cup\" nowrap>+10.23</td></tr>"
                        "</table>"),
              std::string::npos);
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(cols, 5);
}

TEST_F(HoldingsPageTest, StaleQuotesShowTheLastProfit) {
    std::snprintf(settings.codeList, sizeof settings.codeList, "600000,399001");
    HoldingTable holdings;
    holdings.Set("600000", Holding{1000, *ParseHoldingCost("9.85")});
    QuotePageSession session(Fetchers());
    std::vector<char> buffer(PageBufferSize, '\0');
    session.Render(settings, {}, false, buffer, rows, cols, &holdings);
    const std::string fresh = Utf8(buffer.data());
    answers = false;
    const RefreshReport report = session.Render(settings, {}, false, buffer, rows, cols, &holdings);
    const std::string stale = Utf8(buffer.data());
    EXPECT_TRUE(report.stale);
    EXPECT_EQ(rows, 3);
    EXPECT_EQ(cols, 7);
    const std::string mark = " <font color=#009900>未更新</font>";
    ASSERT_NE(stale.find("15:00:00" + mark + "</td>"), std::string::npos);
    std::string unmarked = stale;
    unmarked.erase(unmarked.find(mark), mark.size());
    EXPECT_EQ(unmarked, fresh);
    // Without holdings the kept table is the plain one.
    session.Render(settings, {}, false, buffer, rows, cols, nullptr);
    EXPECT_EQ(Utf8(buffer.data()).find("合计"), std::string::npos);
    EXPECT_EQ(cols, 3);
}

}  // namespace
}  // namespace vemo
