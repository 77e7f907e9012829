#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "quotes/Gbk.h"
#include "quotes/Suggest.h"

namespace vemo {
namespace {

std::string SinaBody(const std::string& rowsUtf8) {
    return Utf8ToGbk("var suggestvalue=\"" + rowsUtf8 + "\";\n");
}

std::string TencentBody(const std::string& rowsUtf8) {
    return Utf8ToGbk("v_hint=\"" + rowsUtf8 + "\"\n");
}

// "code name pinyin kind" per match, for comparing whole answers at a glance.
std::vector<std::string> Lines(const std::vector<SecurityMatch>& matches) {
    std::vector<std::string> lines;
    for (const SecurityMatch& m : matches) {
        lines.push_back(m.code + " " + m.name + " " + m.pinyin + " " + SecurityKindText(m.kind));
    }
    return lines;
}

TEST(SuggestParseTest, SinaRowsMapBackToListCodesAndKinds) {
    const LookupAnswer answer =
        ParseSinaLookup(SinaBody("上证指数,11,000001,sh000001,上证指数,,上证指数,99,1,,;"
                                 "平安银行,11,000001,sz000001,平安银行,,平安银行,99,1,,;"
                                 "腾讯控股,31,00700,hk00700,腾讯控股,,腾讯控股,99,1,,;"
                                 "苹果,41,aapl,gb_aapl,苹果,,苹果,99,1,,;"
                                 "上证50,11,000016,sh000016,上证50,,上证50,99,1,,;"
                                 "50ETF,22,510050,sh510050,50ETF,,50ETF,99,1,,;"
                                 "深证成指,11,399001,sz399001,深证成指,,深证成指,99,1,,;"
                                 "沪深300,11,000300,sh000300,沪深300,,沪深300,99,1,,;"
                                 "万科Ｂ,12,200002,sz200002,万科Ｂ,,万科Ｂ,99,1,,;"
                                 "平安转债,15,127012,sz127012,平安转债,,平安转债,99,1,,;"
                                 "浦发银行,11,600000,sh600000,浦发银行,,浦发银行,99,1,,"));
    ASSERT_TRUE(answer.recognised);
    EXPECT_EQ(Lines(answer.matches), (std::vector<std::string>{
                                         "1A0001 上证指数  指数",
                                         "000001 平安银行  股票",
                                         "510050 50ETF  基金",
                                         "399001 深证成指  指数",
                                         "000300 沪深300  指数",
                                         "200002 万科Ｂ  股票",
                                         "127012 平安转债  债券",
                                         "600000 浦发银行  股票",
                                     }));
    EXPECT_EQ(answer.matches[0].symbol, "sh000001");
}

TEST(SuggestParseTest, SinaEmptyCutOffAndForeignAnswers) {
    const LookupAnswer empty = ParseSinaLookup("var suggestvalue=\"\";");
    EXPECT_TRUE(empty.recognised);
    EXPECT_TRUE(empty.matches.empty());

    // Cut inside the last row: a half name must not pass for a whole one.
    const std::string whole = SinaBody("浦发银行,11,600000,sh600000,浦发银行,,浦发银行,99,1,,");
    EXPECT_FALSE(ParseSinaLookup(whole.substr(0, whole.size() - 12)).recognised);
    EXPECT_FALSE(ParseSinaLookup("<html>502 Bad Gateway</html>").recognised);
    EXPECT_FALSE(ParseSinaLookup(TencentBody("sh~600000~x~pfyh~GP-A")).recognised);
    EXPECT_FALSE(ParseSinaLookup("").recognised);
    // Rows with too few fields or a type the request did not ask for are skipped.
    const LookupAnswer odd = ParseSinaLookup(SinaBody("x,11,600000;a,13,580000,sh580000,权证,"));
    EXPECT_TRUE(odd.recognised);
    EXPECT_TRUE(odd.matches.empty());
}

TEST(SuggestParseTest, RepeatsAreDroppedAndTenAtMost) {
    std::string rows;
    for (int i = 0; i < 15; ++i) {
        const std::string digits = std::to_string(600000 + i);
        rows += "n,11," + digits + ",sh" + digits + ",name" + std::to_string(i) + ",,,99,1,,;";
        if (i == 1) {
            rows += "again,11,600000,sh600000,again,,,99,1,,;";
        }
    }
    const LookupAnswer answer = ParseSinaLookup(SinaBody(rows));
    ASSERT_EQ(answer.matches.size(), MaxMatches);
    EXPECT_EQ(answer.matches[0].name, "name0");
    EXPECT_EQ(answer.matches[2].code, "600002");
    EXPECT_EQ(answer.matches[9].code, "600009");
}

TEST(SuggestParseTest, TencentEscapesPlainGbkAndKinds) {
    const LookupAnswer answer =
        ParseTencentLookup(TencentBody("sh~600000~\\u6d66\\u53d1\\u94f6\\u884c~pfyh~GP-A^"
                                       "sz~000001~平安银行~payh~GP-A^"
                                       "sh~000001~\\u4e0a\\u8bc1\\u6307\\u6570~szzs~ZS^"
                                       "hk~00700~\\u817e\\u8baf\\u63a7\\u80a1~txkg~GP^"
                                       "us~AAPL.OQ~apple~apple~GP^"
                                       "sh~688981~\\u4e2d\\u82af\\u56fd\\u9645~zxgj~GP-A-KCB^"
                                       "sz~159915~\\u521b\\u4e1a\\u677fETF~cybetf~ETF^"
                                       "bj~430047~\\u8bfa\\u601d\\u5170\\u5fb7~nsld~GP-A^"
                                       "sh~113050~\\u5357\\u94f6\\u8f6c\\u503a~nyzz~KZZ^"
                                       "sz~128001~x~x~KZZ^"
                                       "sh~501018~\\u5357\\u65b9\\u539f\\u6cb9~nfyy~LOF^"
                                       "jj~000001~\\u534e\\u590f~hxcz~KJ"));
    ASSERT_TRUE(answer.recognised);
    EXPECT_EQ(Lines(answer.matches), (std::vector<std::string>{
                                         "600000 浦发银行 pfyh 股票",
                                         "000001 平安银行 payh 股票",
                                         "1A0001 上证指数 szzs 指数",
                                         "688981 中芯国际 zxgj 股票",
                                         "159915 创业板ETF cybetf 基金",
                                         "430047 诺思兰德 nsld 股票",
                                         "128001 x x 债券",
                                         "501018 南方原油 nfyy 基金",
                                     }));
}

TEST(SuggestParseTest, TencentNothingFoundAndCutOff) {
    const LookupAnswer none = ParseTencentLookup("v_hint=\"N\"\n");
    EXPECT_TRUE(none.recognised);
    EXPECT_TRUE(none.matches.empty());
    EXPECT_TRUE(ParseTencentLookup("v_hint=\"\";").recognised);
    EXPECT_FALSE(ParseTencentLookup("v_hint=\"sh~600000~\\u6d66\\u53d1~pf").recognised);
    EXPECT_FALSE(ParseTencentLookup("var suggestvalue=\"\";").recognised);
}

TEST(SuggestParseTest, HostileNamesStayInTheirFieldAndOutOfTheTerminal) {
    // 亊 is GBK 81 7E: its second byte is Tencent's field separator.
    const LookupAnswer gbk = ParseTencentLookup(TencentBody("sh~600000~亊乛乗~x~GP-A"));
    ASSERT_EQ(gbk.matches.size(), 1u);
    EXPECT_EQ(gbk.matches[0].name, "亊乛乗");

    const LookupAnswer controls = ParseTencentLookup(TencentBody(
        "sh~600000~\\u001b[2J\\u0009\\u000a\\u007f\\u0085<b>x</b>\\u007e\\u005e~p\\u0007y~GP-A^"
        "sh~600001~\\ud83d\\ude00\\ud800x\\udc00\\u12~py~GP-A"));
    ASSERT_EQ(controls.matches.size(), 2u);
    EXPECT_EQ(controls.matches[0].name,
              "?[2J???"
              "?<b>x</b>~^");
    EXPECT_EQ(controls.matches[0].pinyin, "p?y");
    EXPECT_EQ(controls.matches[1].name, "\xF0\x9F\x98\x80\xEF\xBF\xBDx\xEF\xBF\xBD\\u12");

    const std::string longName(500, 'A');
    const LookupAnswer sina =
        ParseSinaLookup(SinaBody("x,11,600000,sh600000," + longName + "\t\x01,,,"));
    ASSERT_EQ(sina.matches.size(), 1u);
    EXPECT_EQ(sina.matches[0].name, std::string(MaxMatchNameChars, 'A'));

    // Bytes that are no GBK become U+FFFD rather than vanish.
    const LookupAnswer broken = ParseSinaLookup(
        "var suggestvalue=\"x,11,600000,sh600000,\xFF\x80"
        "A,,,\";");
    ASSERT_EQ(broken.matches.size(), 1u);
    EXPECT_EQ(broken.matches[0].name.substr(0, 3), "\xEF\xBF\xBD");
}

TEST(SuggestParseTest, CodesThatWouldNameAnotherSecurityAreLeftOut) {
    const std::map<std::string, std::string> expected = {
        {"sh000001", "1A0001"}, {"sh000012", "1B0009"}, {"sh000300", "000300"},
        {"sz000001", "000001"}, {"sz399006", "399006"}, {"sh900901", "900901"},
        {"bj430047", "430047"}, {"bj920001", "920001"}, {"bj899050", "899050"},
        {"sh000016", ""},       {"sh113050", ""},       {"sz600000", ""},
        {"sh60000", ""},        {"SH600000", ""},       {"hk00700a", ""},
        {"sh60000x", ""},       {"sh6000000", ""},      {"", ""},
        {"bj600000", ""},
    };
    for (const auto& [symbol, code] : expected) {
        EXPECT_EQ(CodeForSymbol(symbol), code) << symbol;
    }
}

TEST(SuggestRequestTest, KeysArePercentEncodedInBothUrls) {
    EXPECT_EQ(PercentEncode("AZaz09-._~"), "AZaz09-._~");
    EXPECT_EQ(PercentEncode("平安 b&c=d/%+"), "%E5%B9%B3%E5%AE%89%20b%26c%3Dd%2F%25%2B");
    EXPECT_EQ(SinaLookupUrl("payh"),
              "http://suggest3.sinajs.cn/suggest/type=11,12,15,21,22,23,24,25,26&key=payh");
    EXPECT_EQ(TencentLookupUrl("浦发"),
              "http://smartbox.gtimg.cn/s3/?v=2&q=%E6%B5%A6%E5%8F%91&t=all");
}

// A fetcher that answers from a table and notes the order it was asked in.
struct FakeServices {
    std::map<int, std::pair<int, std::string>> answers;
    std::vector<std::string> asked;

    LookupFetcher Fetcher() {
        return [this](int provider, const std::string& url, std::string& body) {
            asked.push_back(url);
            const auto& [result, text] = answers.at(provider);
            body = text;
            return result;
        };
    }
};

TEST(SuggestFailoverTest, TencentIsAskedOnlyWhenSinaGivesNothingToShow) {
    const std::string sinaRows = SinaBody("浦发银行,11,600000,sh600000,浦发银行,,,99,1,,");
    const std::string tencentRows = TencentBody("sz~000001~\\u5e73\\u5b89~payh~GP-A");
    struct Case {
        const char* what;
        int sinaResult;
        std::string sinaBody;
        int expectedProvider;
        std::vector<int> expectedResults;
    };
    const Case cases[] = {
        {"matches", FetchOk, sinaRows, ProviderSina, {FetchOk}},
        {"failed", FetchFailed, "", ProviderTencent, {FetchFailed, FetchOk}},
        {"other answer", FetchOk, "<html>busy</html>", ProviderTencent, {LookupNotAnswer, FetchOk}},
        {"empty", FetchOk, SinaBody(""), ProviderTencent, {FetchOk, FetchOk}},
        {"nothing to show",
         FetchOk,
         SinaBody("腾讯控股,31,00700,hk00700,腾讯控股,,,99,1,,"),
         ProviderTencent,
         {FetchOk, FetchOk}},
    };
    for (const Case& c : cases) {
        FakeServices services;
        services.answers[ProviderSina] = {c.sinaResult, c.sinaBody};
        services.answers[ProviderTencent] = {FetchOk, tencentRows};
        const LookupOutcome outcome = LookUpWith("平安", services.Fetcher());
        EXPECT_EQ(outcome.provider, c.expectedProvider) << c.what;
        ASSERT_EQ(outcome.matches.size(), 1u) << c.what;
        std::vector<int> results;
        for (const LookupAttempt& attempt : outcome.attempts) {
            results.push_back(attempt.result);
        }
        EXPECT_EQ(results, c.expectedResults) << c.what;
        EXPECT_EQ(services.asked.front(), SinaLookupUrl("平安")) << c.what;
    }
}

TEST(SuggestFailoverTest, FailuresAndEmptyAnswersAreToldApart) {
    FakeServices services;
    services.answers[ProviderSina] = {FetchFailed, ""};
    services.answers[ProviderTencent] = {FetchOk, "Kinsoku jikou desu!"};
    LookupOutcome outcome = LookUpWith("x", services.Fetcher());
    EXPECT_FALSE(outcome.answered);
    EXPECT_EQ(outcome.provider, 0);
    ASSERT_EQ(outcome.attempts.size(), 2u);
    EXPECT_EQ(outcome.attempts[1].provider, ProviderTencent);
    EXPECT_EQ(outcome.attempts[1].result, LookupNotAnswer);

    services.answers[ProviderTencent] = {FetchOk, "v_hint=\"N\""};
    outcome = LookUpWith("x", services.Fetcher());
    EXPECT_TRUE(outcome.answered);
    EXPECT_TRUE(outcome.matches.empty());

    std::atomic<bool> cancel{true};
    services.asked.clear();
    outcome = LookUpWith("x", services.Fetcher(), &cancel);
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_TRUE(services.asked.empty());
}

}  // namespace
}  // namespace vemo
