#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "quotes/QuoteUrl.h"

namespace vemo {
namespace {

std::string SinaList(const char* codeList) {
    return MakeQuoteUrl(codeList, ProviderSina).substr(std::strlen(SinaBaseUrl));
}

std::string NetEaseList(const char* codeList) {
    return MakeQuoteUrl(codeList, ProviderNetEase).substr(std::strlen(NetEaseBaseUrl));
}

std::string TencentList(const char* codeList) {
    return MakeQuoteUrl(codeList, ProviderTencent).substr(std::strlen(TencentBaseUrl));
}

std::string TencentBack(std::string symbol) {
    char buffer[32] = {};
    std::strcpy(buffer, symbol.c_str());
    TencentSymbolToCode(buffer);
    return buffer;
}

std::string SinaBack(std::string symbol) {
    char buffer[32] = {};
    std::strcpy(buffer, symbol.c_str());
    SinaSymbolToCode(buffer);
    return buffer;
}

std::string NetEaseBack(std::string symbol) {
    char buffer[32] = {};
    std::strcpy(buffer, symbol.c_str());
    NetEaseSymbolToCode(buffer);
    return buffer;
}

TEST(QuoteUrlTest, DefaultListForBothProviders) {
    EXPECT_EQ(MakeQuoteUrl(",1A0001,399001", ProviderSina),
              "http://hq.sinajs.cn/list=sh000001,sz399001");
    EXPECT_EQ(MakeQuoteUrl(",1A0001,399001", ProviderNetEase),
              "http://api.money.126.net/?0000001;1399001");
}

TEST(QuoteUrlTest, EveryProviderValueButThreeIsSina) {
    EXPECT_EQ(MakeQuoteUrl(",600000", 0), "http://hq.sinajs.cn/list=sh600000");
    EXPECT_EQ(MakeQuoteUrl(",600000", -7), "http://hq.sinajs.cn/list=sh600000");
}

TEST(QuoteUrlTest, MarketChosenByTheCode) {
    EXPECT_EQ(SinaList(",000001,1A0001,1A0003,000300,900901,600000,510050,200011,159915"),
              "sz000001,sh000001,sh000003,sh000300,sh900901,sh600000,sh510050,sz200011,"
              "sz159915");
    EXPECT_EQ(NetEaseList(",000001,1A0001,1A0003,000300,900901,600000,510050,200011,159915"),
              "1000001;0000001;0000003;0000300;0900901;0600000;0510050;1200011;1159915");
}

TEST(QuoteUrlTest, IndexCodesOfTheProgramsOwn) {
    EXPECT_EQ(SinaList(",1B0001,1B0005,1B0009"), "sh000004,sh000008,sh000012");
    EXPECT_EQ(NetEaseList(",1B0001,1B0005,1B0009"), "0000004;0000008;0000012");
}

TEST(QuoteUrlTest, ChiNextCodesGoToShenzhen) {
    EXPECT_EQ(SinaList(",300750,301269,399006"), "sz300750,sz301269,sz399006");
    EXPECT_EQ(NetEaseList(",300750,301269,399006"), "1300750;1301269;1399006");
}

TEST(QuoteUrlTest, CodesWithoutMarketKeepTheirComma) {
    EXPECT_EQ(SinaList(",430047,600000,700001,800002"), "430047,sh600000,700001,800002");
    EXPECT_EQ(NetEaseList(",600000,430047,000001"), "0600000,430047;1000001");
    // Leading separators go, whichever provider: only the provider's own separator is removed.
    EXPECT_EQ(NetEaseList(",430047,600000"), ",430047;0600000");
}

TEST(QuoteUrlTest, TencentTakesSinasPrefixesAndServesBeijing) {
    EXPECT_EQ(MakeQuoteUrl(",1A0001,399001", ProviderTencent),
              "http://qt.gtimg.cn/q=sh000001,sz399001");
    const char* everyMarket =
        ",000001,1A0001,1B0009,000300,900901,600000,510050,200011,159915,"
        "300750,399006";
    EXPECT_EQ(TencentList(everyMarket), SinaList(everyMarket));
    // Beijing: 8xxxxx, 4xxxxx and 92xxxx; the Shanghai B shares (900xxx) stay Shanghai.
    EXPECT_EQ(TencentList(",430047,830799,872925,920118,900901,899050,700001"),
              "bj430047,bj830799,bj872925,bj920118,sh900901,bj899050,700001");
    // The other services keep their lists as they were.
    EXPECT_EQ(SinaList(",430047,830799,920118"), "430047,830799,sh920118");
    EXPECT_EQ(NetEaseList(",600000,430047,920118"), "0600000,430047;0920118");
    EXPECT_EQ(MakeQuoteUrl(",", ProviderTencent), TencentBaseUrl);
}

TEST(QuoteUrlTest, EmptyListGivesTheBareBase) {
    EXPECT_EQ(MakeQuoteUrl(",", ProviderSina), SinaBaseUrl);
    EXPECT_EQ(MakeQuoteUrl(",", ProviderNetEase), NetEaseBaseUrl);
    EXPECT_EQ(MakeQuoteUrl("", ProviderSina), SinaBaseUrl);
}

TEST(QuoteUrlTest, BuildQuoteUrlReadsTheSettings) {
    TickerSettings settings = DefaultTickerSettings();
    std::strcpy(settings.codeList, ",600000");
    settings.provider = ProviderNetEase;
    std::string quoteUrl;
    EXPECT_EQ(BuildQuoteUrl(settings, quoteUrl), 1);
    EXPECT_EQ(quoteUrl, "http://api.money.126.net/?0600000");
}

TEST(QuoteUrlTest, LongestListIsConvertedWhole) {
    TickerSettings settings = DefaultTickerSettings();
    std::string list;
    for (int i = 0; i < 73; ++i) {
        list += ",600" + std::to_string(100 + i);
    }
    ASSERT_EQ(list.size(), 511u);
    std::memcpy(settings.codeList, list.c_str(), list.size() + 1);
    std::string quoteUrl;
    BuildQuoteUrl(settings, quoteUrl);
    EXPECT_EQ(quoteUrl.size(), std::strlen(SinaBaseUrl) + 73 * 8 + 72);
    EXPECT_TRUE(quoteUrl.ends_with(",sh600172"));
}

TEST(QuoteUrlTest, SymbolsMapBackToTheUsersCodes) {
    EXPECT_EQ(SinaBack("sz000001"), "000001");
    EXPECT_EQ(SinaBack("sh000001"), "1A0001");
    EXPECT_EQ(SinaBack("sh000012"), "1B0009");
    EXPECT_EQ(SinaBack("sh000300"), "000300");
    EXPECT_EQ(SinaBack("sh000013"), "000013");
    EXPECT_EQ(SinaBack("sz300750"), "300750");
    EXPECT_EQ(NetEaseBack("1000001"), "000001");
    EXPECT_EQ(NetEaseBack("0000001"), "1A0001");
    EXPECT_EQ(NetEaseBack("0000007"), "1B0004");
    EXPECT_EQ(NetEaseBack("0000300"), "000300");
    EXPECT_EQ(NetEaseBack("0000013"), "000013");
}

TEST(QuoteUrlTest, EveryRequestedCodeMapsBackToItself) {
    const char* codes[] = {"1A0001", "1A0002", "1A0003", "1B0001", "1B0002", "1B0003", "1B0004",
                           "1B0005", "1B0006", "1B0007", "1B0008", "1B0009", "000300", "399001",
                           "600000", "000001", "300750", "510050", "159915", "200011", "900901"};
    for (const char* code : codes) {
        const std::string entry = std::string(",") + code;
        EXPECT_EQ(SinaBack(SinaList(entry.c_str())), code);
        EXPECT_EQ(NetEaseBack(NetEaseList(entry.c_str())), code);
        EXPECT_EQ(TencentBack(TencentList(entry.c_str())), code);
    }
    for (const char* code : {"430047", "830799", "920118", "899050"}) {
        const std::string entry = std::string(",") + code;
        EXPECT_EQ(TencentBack(TencentList(entry.c_str())), code);
    }
}

TEST(QuoteUrlTest, OddSymbolsAreLeftOrTrimmedSafely) {
    EXPECT_EQ(SinaBack(""), "");
    EXPECT_EQ(NetEaseBack(""), "");
    EXPECT_EQ(SinaBack("sh600000123"), "sh600000123");
    EXPECT_EQ(NetEaseBack("06000001234"), "06000001234");
    // Ten characters are the most that is still mapped.
    EXPECT_EQ(SinaBack("sh60000012"), "600000");
    EXPECT_EQ(SinaBack("sh00000199"), "1A0001");
    EXPECT_EQ(NetEaseBack("0600000123"), "600000");
    EXPECT_EQ(NetEaseBack("0000001299"), "1A0001");
    EXPECT_EQ(SinaBack("sh6000001"), "600000");  // at most six characters follow the prefix
    EXPECT_EQ(SinaBack("s"), "");
    EXPECT_EQ(NetEaseBack("0"), "");
    EXPECT_EQ(TencentBack("sh600000123"), "sh600000123");
    EXPECT_EQ(TencentBack("bj"), "");
}

}  // namespace
}  // namespace vemo
