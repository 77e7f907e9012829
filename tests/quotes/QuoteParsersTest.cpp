#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "quotes/DataTime.h"
#include "quotes/Gbk.h"
#include "quotes/QuoteParsers.h"

namespace vemo {
namespace {

using Lines = std::vector<std::string>;

constexpr char OrderBook[] =
    "51300,9.99,85400,9.98,17300,9.97,94900,9.96,50100,9.95,"
    "283800,10.00,227000,10.01,233500,10.02,166200,10.03,168300,10.04,";
constexpr char TodaysEnding[] = "2022-11-11,15:00:00,00,\";";
constexpr char OldEnding[] = "2008-12-29,15:00:05\";";
// open, previous close, price, high, low, bid, ask, volume (shares), amount (yuan)
constexpr char Numbers[] = "9.60,9.50,10.00,10.20,9.40,9.99,10.00,12345678,123456789.000";

std::string SinaLine(const std::string& symbol, const char* nameUtf8,
                     const std::string& numbers = Numbers,
                     const std::string& ending = TodaysEnding) {
    return "var hq_str_" + symbol + "=\"" + Utf8ToGbk(nameUtf8) + "," + numbers + "," + OrderBook +
           ending;
}

// previous close; open; turnover (yuan); volume (shares); two skipped; high; low; price
constexpr char NetEaseNumbers[] = "9.50;9.60;123456789.00;12345678;0;0;10.20;9.40;10.00";

std::string NetEaseEntry(const std::string& symbol, const char* nameUtf8,
                         const std::string& numbers = NetEaseNumbers,
                         const std::string& time = "2009-01-05 09:30:07") {
    return "var quote_" + symbol + "='" + symbol + ";" + Utf8ToGbk(nameUtf8) + ";" + numbers + ";" +
           time + "';";
}

constexpr char Terminator[] = "QuoteData.show_quote();";

std::tm LocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm now{};
    now.tm_year = year - 1900;
    now.tm_mon = month - 1;
    now.tm_mday = day;
    now.tm_hour = hour;
    now.tm_min = minute;
    now.tm_sec = second;
    return now;
}

TEST(SplitResponseLinesTest, LineEnds) {
    EXPECT_EQ(SplitResponseLines(""), Lines{});
    EXPECT_EQ(SplitResponseLines("a\r\nb\nc"), (Lines{"a", "b", "c"}));
    EXPECT_EQ(SplitResponseLines("a\n\r\n\nb\n"), (Lines{"a", "", "", "b"}));
    EXPECT_EQ(SplitResponseLines("\n"), Lines{""});
    // Only a carriage return before a line feed belongs to the line end.
    EXPECT_EQ(SplitResponseLines("a\rb\r\nc\r"), (Lines{"a\rb", "c\r"}));
}

TEST(SinaParserTest, TodaysLineForm) {
    QuoteBatch batch;
    ParseSinaResponse(Lines{SinaLine("sh600000", "浦发银行"), SinaLine("sh000001", "上证指数")},
                      batch);
    ASSERT_EQ(batch.count, 2);
    const QuoteRecord& q = *batch.records[0];
    EXPECT_EQ(std::string(q.name), Utf8ToGbk("浦发银行"));
    EXPECT_STREQ(q.code, "600000");
    EXPECT_FLOAT_EQ(q.open, 9.60f);
    EXPECT_FLOAT_EQ(q.prevClose, 9.50f);
    EXPECT_FLOAT_EQ(q.price, 10.00f);
    EXPECT_FLOAT_EQ(q.high, 10.20f);
    EXPECT_FLOAT_EQ(q.low, 9.40f);
    EXPECT_EQ(q.volume, 123456);
    EXPECT_FLOAT_EQ(q.turnover, 12345.6789f);
    EXPECT_STREQ(batch.records[1]->code, "1A0001");
    EXPECT_STREQ(batch.dataTime, "2022-11-11 15:00:00");
    EXPECT_EQ(batch.records[2], nullptr);
}

TEST(SinaParserTest, OldLineFormEndsWithTheTime) {
    QuoteBatch batch;
    ParseSinaResponse(Lines{SinaLine("sz399001", "深证成指", Numbers, OldEnding)}, batch);
    ASSERT_EQ(batch.count, 1);
    EXPECT_STREQ(batch.records[0]->code, "399001");
    EXPECT_STREQ(batch.dataTime, "2008-12-29 15:00:05");
}

TEST(SinaParserTest, EntryWithoutTheOrderBookTakesTheTimeFromTheLineEnd) {
    // No date in the date field's place: the last characters of the line are the time.
    const std::string line = "var hq_str_sh600000=\"" + Utf8ToGbk("浦发银行") + "," + Numbers +
                             ",2008-12-29,15:00:05\";";
    QuoteBatch batch;
    ParseSinaResponse(Lines{line}, batch);
    ASSERT_EQ(batch.count, 1);
    EXPECT_STREQ(batch.dataTime, "2008-12-29 15:00:05");
}

TEST(SinaParserTest, OnlyTheFirstRecordSetsTheTime) {
    QuoteBatch batch;
    ParseSinaResponse(Lines{SinaLine("sh600000", "浦发银行", Numbers, OldEnding),
                            SinaLine("sh600001", "邯郸钢铁")},
                      batch);
    ASSERT_EQ(batch.count, 2);
    EXPECT_STREQ(batch.dataTime, "2008-12-29 15:00:05");
}

TEST(SinaParserTest, EmptyEntriesGiveNoRecord) {
    QuoteBatch batch;
    ParseSinaResponse(Lines{SinaLine("sh600000", "浦发银行"), "var hq_str_sz000999=\"\";", "",
                            SinaLine("sz000001", "平安银行")},
                      batch);
    ASSERT_EQ(batch.count, 2);
    EXPECT_STREQ(batch.records[0]->code, "600000");
    EXPECT_STREQ(batch.records[1]->code, "000001");
}

TEST(SinaParserTest, ShortEntriesSharingALineAreDropped) {
    QuoteBatch batch;
    ParseSinaResponse(Lines{"var hq_str_sz000998=\"\";var hq_str_sz000999=\"\";" +
                            SinaLine("sz000001", "平安银行")},
                      batch);
    ASSERT_EQ(batch.count, 1);
    EXPECT_STREQ(batch.records[0]->code, "000001");
    EXPECT_EQ(std::string(batch.records[0]->name), Utf8ToGbk("平安银行"));
    EXPECT_STREQ(batch.dataTime, "2022-11-11 15:00:00");
}

TEST(SinaParserTest, VolumeInLotsAndTurnoverInTenThousands) {
    const auto parse = [](const char* volume, const char* amount) {
        QuoteBatch batch;
        ParseSinaResponse(
            Lines{SinaLine("sh600000", "浦发银行",
                           std::string("9.6,9.5,10,10.2,9.4,9.99,10,") + volume + "," + amount)},
            batch);
        EXPECT_EQ(batch.count, 1);
        return *batch.records[0];
    };
    EXPECT_EQ(parse("12345678", "0").volume, 123456);
    EXPECT_EQ(parse("199", "0").volume, 1);
    EXPECT_EQ(parse("-199", "0").volume, -1);
    // An index's day volume passes 2^31 shares; its lots still fit.
    EXPECT_EQ(parse("31234567890", "0").volume, 312345678);
    // Beyond the int range even in lots, the count is clamped, not wrapped.
    EXPECT_EQ(parse("999999999999999", "0").volume, INT_MAX);
    EXPECT_EQ(parse("-999999999999999", "0").volume, INT_MIN);
    EXPECT_FLOAT_EQ(parse("0", "123456789").turnover, 12345.6789f);
    EXPECT_FLOAT_EQ(parse("0", "1.5e4").turnover, 1.5f);
    EXPECT_FLOAT_EQ(parse("0", " +20000x").turnover, 2.0f);
    EXPECT_FLOAT_EQ(parse("0", "0x10").turnover, 0.0016f);
    EXPECT_EQ(parse("abc", "-").volume, 0);
}

TEST(SinaParserTest, TheThirtyFirstEntryIsIgnored) {
    Lines lines;
    for (int i = 0; i < 31; ++i) {
        lines.push_back(SinaLine("sh6000" + std::to_string(10 + i), "浦发银行"));
    }
    QuoteBatch batch;
    ParseSinaResponse(lines, batch);
    ASSERT_EQ(batch.count, 30);
    EXPECT_STREQ(batch.records[29]->code, "600039");
}

TEST(SinaParserTest, LongNamesAreCutOnACharacterBoundary) {
    const auto name = [](const char* utf8) {
        QuoteBatch batch;
        ParseSinaResponse(Lines{SinaLine("sh600000", utf8)}, batch);
        EXPECT_EQ(batch.count, 1);
        return std::string(batch.records[0]->name);
    };
    EXPECT_EQ(name("招商银行股份"), Utf8ToGbk("招商银行"));
    EXPECT_EQ(name("A招商银行"), Utf8ToGbk("A招商银行"));
    EXPECT_EQ(name("AB招商银行"), Utf8ToGbk("AB招商银"));
    EXPECT_EQ(name("ABCDEFGHIJKL"), "ABCDEFGHI");
}

// Every line here is malformed in its own way; each must parse without reading outside it.
TEST(SinaParserTest, MalformedLines) {
    struct Case {
        std::string line;
        int count;
        const char* code;
    };
    const std::string pad(50, 'x');
    const std::string marker = "var hq_str";
    const Case cases[] = {
        {pad, 0, nullptr},                                                     // no semicolon
        {pad + ";", 0, nullptr},                                               // no marker
        {std::string(49, ';') + "var hq_str_sh600000=\"a,1,2\"", 0, nullptr},  // no ; left
        {pad + ";" + marker, 1, ""},              // marker at the very end
        {pad + ";" + marker + "_sh60", 1, "60"},  // symbol cut short
        {pad + ";" + marker + "_sh600000=\"", 1, "600000"},
        {pad + ";" + marker + "_sh600000=\"no commas at all\";", 1, "600000"},
        {pad + ";" + marker + "_sh600000=\"n,1,2,3,4,5,6,7,8,9\";", 1, "600000"},
        {pad + ";" + marker + "_sh600000=\"n,1,2,3,4,5,6,7,8,9," + std::string(40, ',') + "\";", 1,
         "600000"},
        {pad + ";" + marker + "_sh600000=\"n" + std::string(200, ',') + "\";", 1, "600000"},
        {pad + ";" + marker + "_sh600000=\"n,1,2,3," + std::string(500, '7') + ",5\";", 1,
         "600000"},
        {pad + ";" + std::string("var hq_str_sh600000=\"\0\0,1,2,3,4,5,6,7,8,9\";", 43), 1,
         "600000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const std::string exact = c.line;  // a copy sized exactly to the line
        QuoteBatch batch;
        ParseSinaResponse(Lines{exact}, batch);
        ASSERT_EQ(batch.count, c.count);
        if (c.code != nullptr) {
            EXPECT_STREQ(batch.records[0]->code, c.code);
        }
        EXPECT_LT(strnlen(batch.dataTime, sizeof batch.dataTime), sizeof batch.dataTime);
    }
}

// The answers come over plain HTTP: whatever stands where the time should be is shown only when
// it is a date and time, never as markup or control characters.
constexpr char Hostile[] = "</table><h1>x</h1>";

TEST(DataTimeTest, OnlyADateAndTimeIsTakenAsTheDataTime) {
    for (const char* time : {"2008-12-29 15:00:05", "2009-1-5 9:30:7", "0-0-0 0:0:0"}) {
        EXPECT_TRUE(IsDataTimeShape(time)) << time;
    }
    for (const char* time : {"", Hostile, "2008-12-29,15:00:05", "2008-12-29  15:00:05",
                             " 2008-12-29 15:00:05", "2008-12-29 15:00:05 ", "2008-12-29 15:00",
                             "2008-12-29T15:00:05", "2008-12-29 15:00:0\x1b", "-2008-12-29 15:00:5",
                             "2008--12-29 15:00:05", "20080-12-29 15:00:05"}) {
        EXPECT_FALSE(IsDataTimeShape(time)) << time;
    }
}

TEST(DataTimeTest, MarkupInPlaceOfTheTimeIsRefusedByBothParsers) {
    const std::string hostile = Hostile;
    // Sina: in the date field of today's form, at the end of the old form (the fallback rule),
    // and in the time field.
    for (const std::string& ending :
         {hostile + ",15:00:00,00,\";", hostile + "\";", "2022-11-11," + hostile + "\";",
          "2022-11-11,15:00:00" + hostile + "\";"}) {
        SCOPED_TRACE(ending);
        QuoteBatch batch;
        ParseSinaResponse(Lines{SinaLine("sh600000", "浦发银行", Numbers, ending)}, batch);
        ASSERT_EQ(batch.count, 1);  // the quote itself stands
        EXPECT_STREQ(batch.dataTime, "");
    }
    // NetEase: the field before the terminator, and a short one that leaves part of the price in
    // the 19 characters.
    for (const std::string& time : {hostile, std::string("2009-1-5 9:30:7")}) {
        SCOPED_TRACE(time);
        QuoteBatch batch;
        ParseNetEaseResponse(
            Lines{NetEaseEntry("0600000", "浦发银行", NetEaseNumbers, time) + Terminator}, batch,
            LocalTime(2009, 1, 5, 9, 30, 7));
        ASSERT_EQ(batch.count, 1);
        EXPECT_STREQ(batch.dataTime, "");
    }
}

TEST(NetEaseParserTest, EntriesOnOneLineOrSpreadOverMany) {
    const std::string response =
        NetEaseEntry("0000001", "上证指数") + NetEaseEntry("1399001", "深证成指") +
        NetEaseEntry("0600000", "浦发银行", NetEaseNumbers, "2009-01-05 09:30:09") + Terminator;
    Lines pieces;
    for (std::size_t at = 0; at < response.size(); at += 7) {
        pieces.push_back(response.substr(at, 7));  // cuts markers, numbers and characters
    }
    for (const Lines& lines : {Lines{response}, pieces}) {
        QuoteBatch batch;
        ParseNetEaseResponse(lines, batch, LocalTime(2020, 1, 1, 0, 0, 0));
        ASSERT_EQ(batch.count, 3);
        const QuoteRecord& q = *batch.records[0];
        EXPECT_STREQ(q.code, "1A0001");
        EXPECT_EQ(std::string(q.name), Utf8ToGbk("上证指数"));
        EXPECT_FLOAT_EQ(q.prevClose, 9.50f);
        EXPECT_FLOAT_EQ(q.open, 9.60f);
        EXPECT_FLOAT_EQ(q.turnover, 12345.6789f);
        EXPECT_EQ(q.volume, 123456);
        EXPECT_FLOAT_EQ(q.high, 10.20f);
        EXPECT_FLOAT_EQ(q.low, 9.40f);
        EXPECT_FLOAT_EQ(q.price, 10.00f);
        EXPECT_STREQ(batch.records[1]->code, "399001");
        EXPECT_STREQ(batch.records[2]->code, "600000");
        // The first record takes the time in front of the terminator.
        EXPECT_STREQ(batch.dataTime, "2009-01-05 09:30:09");
    }
}

TEST(NetEaseParserTest, WithoutTerminatorTheLocalTimeIsTheDataTime) {
    QuoteBatch batch;
    ParseNetEaseResponse(Lines{NetEaseEntry("0600000", "浦发银行")}, batch,
                         LocalTime(2009, 1, 5, 9, 30, 7));
    ASSERT_EQ(batch.count, 1);
    EXPECT_STREQ(batch.dataTime, "2009-1-5 9:30:7");
}

TEST(NetEaseParserTest, TruncatedEntryEndsTheParsing) {
    const std::string first = NetEaseEntry("0600000", "浦发银行");
    const std::string third = NetEaseEntry("0600002", "齐鲁石化") + Terminator;
    const std::tm now = LocalTime(2009, 1, 5, 9, 30, 7);
    QuoteBatch batch;
    ParseNetEaseResponse(Lines{first + "var quote_0600001='0600001;x;1;2;3;4;5;6;7" + third}, batch,
                         now);
    EXPECT_EQ(batch.count, 2);  // the ninth field's semicolon belongs to the next entry
    QuoteBatch cut;
    ParseNetEaseResponse(Lines{first, "var quote_0600001='0600001;x;1;2;3;4;5;6;7"}, cut, now);
    ASSERT_EQ(cut.count, 1);
    EXPECT_STREQ(cut.records[0]->code, "600000");
    EXPECT_EQ(cut.records[1], nullptr);
    QuoteBatch noOpening;
    ParseNetEaseResponse(Lines{"var quote_0600000" + first}, noOpening, now);
    EXPECT_EQ(noOpening.count, 1);
    QuoteBatch none;
    ParseNetEaseResponse(Lines{"var quote_0600000'0600000;a;1;2;3;4;5;6;7;8;9'"}, none, now);
    EXPECT_EQ(none.count, 0);
    EXPECT_STREQ(none.dataTime, "");
}

TEST(NetEaseParserTest, PriceAtTheEndOfTheText) {
    QuoteBatch batch;
    ParseNetEaseResponse(Lines{"var quote_1000001='1000001;abcdefghijkl;1;2;30000;250;0;0;3;4;5.5"},
                         batch, LocalTime(2009, 12, 31, 23, 59, 59));
    ASSERT_EQ(batch.count, 1);
    const QuoteRecord& q = *batch.records[0];
    EXPECT_STREQ(q.code, "000001");
    EXPECT_STREQ(q.name, "abcdefghi");
    EXPECT_FLOAT_EQ(q.turnover, 3.0f);
    EXPECT_EQ(q.volume, 2);
    EXPECT_FLOAT_EQ(q.price, 5.5f);
    EXPECT_STREQ(batch.dataTime, "2009-12-31 23:59:59");
}

TEST(NetEaseParserTest, LongSymbolsAndTheRecordLimit) {
    std::string response;
    for (int i = 0; i < 31; ++i) {
        response += NetEaseEntry("06000" + std::to_string(10 + i) + "123456789", "浦发银行");
    }
    QuoteBatch batch;
    ParseNetEaseResponse(Lines{response + Terminator}, batch, LocalTime(2009, 1, 5, 9, 30, 7));
    ASSERT_EQ(batch.count, 30);
    EXPECT_STREQ(batch.records[0]->code, "600010");
    EXPECT_STREQ(batch.records[29]->code, "600039");
}

TEST(NetEaseParserTest, NoMarkerNoRecords) {
    QuoteBatch batch;
    ParseNetEaseResponse(Lines{"<html>404 Not Found</html>", "='", ";;;;;;;;;;;"}, batch,
                         LocalTime(2009, 1, 5, 9, 30, 7));
    EXPECT_EQ(batch.count, 0);
    EXPECT_STREQ(batch.dataTime, "");
}

// A Tencent line in the service's form, 49 fields: market, name, code, price, previous close,
// open, volume (lots), outer and inner volume, the order book, trades, date and time, change,
// percent, high, low, price/volume/amount, volume, turnover (10,000 yuan) and more.
struct TencentFields {
    std::string market = "1";
    std::string name = "浦发银行";
    std::string code = "600000";
    std::string price = "10.00";
    std::string prevClose = "9.50";
    std::string open = "9.60";
    std::string volume = "123456";
    std::string dateTime = "20221111150000";
    std::string high = "10.20";
    std::string low = "9.40";
    std::string turnover = "12345.6789";
};

std::string TencentLine(const std::string& symbol, const TencentFields& f = {}) {
    const std::string fields[] = {f.market,    Utf8ToGbk(f.name),
                                  f.code,      f.price,
                                  f.prevClose, f.open,
                                  f.volume,    "61728",
                                  "61728",     "9.99",
                                  "513",       "9.98",
                                  "854",       "9.97",
                                  "173",       "9.96",
                                  "949",       "9.95",
                                  "501",       "10.00",
                                  "2838",      "10.01",
                                  "2270",      "10.02",
                                  "2335",      "10.03",
                                  "1662",      "10.04",
                                  "1683",      "",
                                  f.dateTime,  "0.50",
                                  "5.26",      f.high,
                                  f.low,       f.price + "/123456/123456789",
                                  f.volume,    f.turnover,
                                  "0.06",      "5.12",
                                  "",          f.high,
                                  f.low,       "8.42",
                                  "2935.12",   "2935.12",
                                  "0.41",      "10.45",
                                  "8.55"};
    std::string line = "v_" + symbol + "=\"";
    for (const std::string& field : fields) {
        line += field + "~";
    }
    return line + "\";";
}

TEST(TencentParserTest, StocksIndicesAndBeijingInTheServicesForm) {
    TencentFields index;
    index.name = "上证指数";
    index.code = "000001";
    index.price = "3250.125";
    index.volume = "391185417";  // lots; an index trades more shares than 2^31
    TencentFields beijing;
    beijing.market = "62";
    beijing.name = "诺思兰德";
    beijing.code = "430047";
    beijing.dateTime = "20221111145958";
    QuoteBatch batch;
    ParseTencentResponse(Lines{TencentLine("sh600000"), TencentLine("sh000001", index),
                               TencentLine("bj430047", beijing), TencentLine("sz399001")},
                         batch);
    ASSERT_EQ(batch.count, 4);
    const QuoteRecord& q = *batch.records[0];
    EXPECT_EQ(std::string(q.name), Utf8ToGbk("浦发银行"));
    EXPECT_STREQ(q.code, "600000");
    EXPECT_FLOAT_EQ(q.price, 10.00f);
    EXPECT_FLOAT_EQ(q.prevClose, 9.50f);
    EXPECT_FLOAT_EQ(q.open, 9.60f);
    EXPECT_FLOAT_EQ(q.high, 10.20f);
    EXPECT_FLOAT_EQ(q.low, 9.40f);
    EXPECT_EQ(q.volume, 123456);
    EXPECT_FLOAT_EQ(q.turnover, 12345.6789f);
    EXPECT_STREQ(batch.records[1]->code, "1A0001");
    EXPECT_FLOAT_EQ(batch.records[1]->price, 3250.125f);
    EXPECT_EQ(batch.records[1]->volume, 391185417);
    EXPECT_STREQ(batch.records[2]->code, "430047");
    EXPECT_EQ(std::string(batch.records[2]->name), Utf8ToGbk("诺思兰德"));
    EXPECT_STREQ(batch.records[3]->code, "399001");
    EXPECT_STREQ(batch.dataTime, "2022-11-11 15:00:00");
}

TEST(TencentParserTest, SameQuoteGivesTheSameRecordAsSina) {
    // 12,345,678 shares are 123,456 lots; 123,456,789 yuan are 12,345.6789 ten thousands.
    QuoteBatch sina;
    ParseSinaResponse(Lines{SinaLine("sh600000", "浦发银行")}, sina);
    QuoteBatch tencent;
    ParseTencentResponse(Lines{TencentLine("sh600000")}, tencent);
    ASSERT_EQ(sina.count, 1);
    ASSERT_EQ(tencent.count, 1);
    EXPECT_EQ(std::memcmp(sina.records[0].get(), tencent.records[0].get(), sizeof(QuoteRecord)), 0);
    EXPECT_STREQ(sina.dataTime, tencent.dataTime);
    EXPECT_STREQ(sina.newestDate, tencent.newestDate);
}

TEST(TencentParserTest, UnknownEmptyAndCutEntriesGiveNoRecord) {
    const std::string full = TencentLine("sh600000");
    const std::string shortForm = "v_s_sh600000=\"1~" + Utf8ToGbk("浦发银行") +
                                  "~600000~10.00~0.50~5.26~123456~12345~~2935~GP-A~\";";
    QuoteBatch batch;
    ParseTencentResponse(
        Lines{"v_pv_none_match=\"1\";", "v_sh600001=\"\";", full.substr(0, full.find("~20221111")),
              shortForm, TencentLine("sz000001"), full.substr(0, full.size() - 3)},
        batch);
    ASSERT_EQ(batch.count, 1);
    EXPECT_STREQ(batch.records[0]->code, "000001");
    EXPECT_EQ(batch.records[1], nullptr);

    // Several entries on one line read as on lines of their own; a cut one ends the line.
    QuoteBatch oneLine;
    ParseTencentResponse(Lines{"v_pv_none_match=\"1\";" + TencentLine("sh600000") +
                               TencentLine("sz000001") + full.substr(0, 40)},
                         oneLine);
    EXPECT_EQ(oneLine.count, 2);
}

TEST(TencentParserTest, LongNamesAndTheRecordLimit) {
    TencentFields fund;
    fund.name = "沪深300ETF";  // ten GBK bytes
    Lines lines{TencentLine("sh510300", fund)};
    for (int i = 0; i < 31; ++i) {
        lines.push_back(TencentLine("sh6000" + std::to_string(10 + i)));
    }
    QuoteBatch batch;
    ParseTencentResponse(lines, batch);
    ASSERT_EQ(batch.count, 30);
    EXPECT_EQ(std::string(batch.records[0]->name), Utf8ToGbk("沪深300ET"));
    EXPECT_STREQ(batch.records[29]->code, "600038");
}

TEST(TencentParserTest, OnlyFourteenDigitsMakeADataTime) {
    const auto timeOf = [](const char* dateTime) {
        TencentFields fields;
        fields.dateTime = dateTime;
        QuoteBatch batch;
        ParseTencentResponse(Lines{TencentLine("sh600000", fields), TencentLine("sz000001")},
                             batch);
        EXPECT_EQ(batch.count, 2);
        return std::string(batch.dataTime);
    };
    EXPECT_EQ(timeOf("20260107093005"), "2026-01-07 09:30:05");
    // The first record's own time or none: a later record never stands in.
    EXPECT_EQ(timeOf("2026010709300"), "");
    EXPECT_EQ(timeOf("202601070930051"), "");
    EXPECT_EQ(timeOf("2026-01-07 09:30:05"), "");
    EXPECT_EQ(timeOf("<b>0107093005"), "");
    EXPECT_EQ(timeOf(""), "");
}

TEST(TencentParserTest, MalformedEntriesStayWithinTheText) {
    const std::string cases[] = {
        "v_",
        "v_sh600000",
        "v_sh600000=",
        "v_sh600000=\"",
        "v_sh600000=x\"1~2\";",
        "v_=\"" + std::string(60, '~') + "\";",
        "v_sh600000123=\"" + std::string(60, '~') + "\";",
        "v_sh600000=\"" + std::string(36, '~') + "\";",
        std::string("v_sh600000=\"\0~", 14),
    };
    for (const std::string& text : cases) {
        SCOPED_TRACE(text);
        const std::string exact = text;
        QuoteBatch batch;
        ParseTencentResponse(Lines{exact}, batch);
        EXPECT_EQ(batch.count, 0);
    }
    // Thirty-eight fields reach the turnover: just enough for a quote, with zeros.
    QuoteBatch bare;
    ParseTencentResponse(Lines{"v_sh600000=\"" + std::string(37, '~') + "\";"}, bare);
    ASSERT_EQ(bare.count, 1);
    EXPECT_STREQ(bare.records[0]->code, "600000");
    EXPECT_FLOAT_EQ(bare.records[0]->price, 0.0f);
}

// The newest date any quote carries, whichever record carries it: a suspended security keeps an
// old date while the rest trade today.
TEST(NewestDateTest, EveryParserKeepsTheLatestDate) {
    QuoteBatch sina;
    ParseSinaResponse(
        Lines{SinaLine("sh600000", "浦发银行", Numbers, "2022-11-09,15:00:00,00,\";"),
              SinaLine("sh600001", "邯郸钢铁"),
              SinaLine("sh600002", "齐鲁石化", Numbers, "2022-11-10,15:00:00,00,\";")},
        sina);
    EXPECT_STREQ(sina.dataTime, "2022-11-09 15:00:00");
    EXPECT_STREQ(sina.newestDate, "2022-11-11");
    // Each record keeps its own date as well, for what must judge one quote at a time.
    EXPECT_EQ(sina.records[0]->date, 20221109);
    EXPECT_EQ(sina.records[1]->date, 20221111);
    EXPECT_EQ(sina.records[2]->date, 20221110);

    // NetEase's data time stands in front of the terminator, after the last entry.
    QuoteBatch netEase;
    ParseNetEaseResponse(
        Lines{NetEaseEntry("0600000", "浦发银行") +
              NetEaseEntry("0600001", "邯郸钢铁", NetEaseNumbers, "2009-01-02 15:00:00") +
              Terminator},
        netEase, LocalTime(2020, 1, 1, 0, 0, 0));
    EXPECT_STREQ(netEase.dataTime, "2009-01-02 15:00:00");
    EXPECT_STREQ(netEase.newestDate, "2009-01-05");
    EXPECT_EQ(netEase.records[0]->date, 20090105);
    EXPECT_EQ(netEase.records[1]->date, 20090102);

    TencentFields old;
    old.dateTime = "20221109150000";
    TencentFields today;
    today.dateTime = "20221111093000";
    QuoteBatch tencent;
    ParseTencentResponse(Lines{TencentLine("sh600000", old), TencentLine("sh600001", today)},
                         tencent);
    EXPECT_STREQ(tencent.dataTime, "2022-11-09 15:00:00");
    EXPECT_STREQ(tencent.newestDate, "2022-11-11");
    EXPECT_EQ(tencent.records[0]->date, 20221109);
    EXPECT_EQ(tencent.records[1]->date, 20221111);

    // A time of the local clock, or none at all, is no date of the data.
    QuoteBatch local;
    ParseNetEaseResponse(Lines{NetEaseEntry("0600000", "浦发银行", NetEaseNumbers, "x")}, local,
                         LocalTime(2009, 1, 5, 9, 30, 7));
    EXPECT_STREQ(local.newestDate, "");
    EXPECT_EQ(local.records[0]->date, 0);
    QuoteBatch none;
    ParseTencentResponse(Lines{"v_sh600000=\"" + std::string(37, '~') + "\";"}, none);
    EXPECT_STREQ(none.newestDate, "");
    EXPECT_EQ(none.records[0]->date, 0);
}

}  // namespace
}  // namespace vemo

namespace vemo {
namespace {

TEST(ExactPriceTest, PricesAreKeptAsTheServiceWroteThem) {
    EXPECT_EQ(ExactPriceUnits("10.23"), 10'230'000);
    EXPECT_EQ(ExactPriceUnits("3250.125"), 3'250'125'000);
    EXPECT_EQ(ExactPriceUnits("0.000"), 0);
    EXPECT_EQ(ExactPriceUnits("-1.5"), -1'500'000);
    EXPECT_EQ(ExactPriceUnits("007"), 7'000'000);
    // A seventh decimal rounds half away from zero; digits after it do not count.
    EXPECT_EQ(ExactPriceUnits("0.0000005"), 1);
    EXPECT_EQ(ExactPriceUnits("0.00000049999"), 0);
    EXPECT_EQ(ExactPriceUnits("-0.0000005"), -1);
    // Where atof stops, this stops; other forms read as the float fields do.
    EXPECT_EQ(ExactPriceUnits("10.23\""), 10'230'000);
    EXPECT_EQ(ExactPriceUnits("1e1"), 10'000'000);
    EXPECT_EQ(ExactPriceUnits(" 2.5"), 2'500'000);
    EXPECT_EQ(ExactPriceUnits(".5"), 500'000);
    EXPECT_EQ(ExactPriceUnits(""), 0);
    EXPECT_EQ(ExactPriceUnits("-"), 0);
    EXPECT_EQ(ExactPriceUnits("abc"), 0);
    EXPECT_EQ(ExactPriceUnits("nan"), 0);
    // Absurd values are clamped rather than overflowing.
    EXPECT_EQ(ExactPriceUnits("99999999999999999999999"), 9'000'000'000'000'000'000);
    EXPECT_EQ(ExactPriceUnits("-1e300"), -9'000'000'000'000'000'000);
}

TEST(ExactPriceTest, EveryParserFillsTheExactPriceAndPreviousClose) {
    QuoteBatch sina;
    ParseSinaResponse(Lines{SinaLine("sh600000", "浦发银行",
                                     "9.60,9.999,10.23,10.30,9.40,9.99,10.00,100,1000.000")},
                      sina);
    TencentFields fields;
    fields.price = "10.23";
    fields.prevClose = "9.999";
    QuoteBatch tencent;
    ParseTencentResponse(Lines{TencentLine("sh600000", fields)}, tencent);
    QuoteBatch netEase;
    ParseNetEaseResponse(
        Lines{NetEaseEntry("0600000", "浦发银行", "9.999;9.60;1000.00;100;0;0;10.30;9.40;10.23") +
              Terminator},
        netEase, LocalTime(2020, 1, 1, 0, 0, 0));
    for (const QuoteBatch* batch : {&sina, &tencent, &netEase}) {
        ASSERT_EQ(batch->count, 1);
        EXPECT_EQ(batch->records[0]->exactPrice, 10'230'000);
        EXPECT_EQ(batch->records[0]->exactPrevClose, 9'999'000);
    }
}

}  // namespace
}  // namespace vemo
