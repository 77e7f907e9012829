#include <gtest/gtest.h>
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif
#include <locale.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "quotes/Gbk.h"
#include "quotes/QuoteFailover.h"
#include "quotes/QuotePage.h"

#include "quotes/Alerts.h"
#include "quotes/PageTexts.h"
#include "quotes/QuoteParsers.h"
#include "quotes/QuoteUrl.h"

namespace vemo {
namespace {

QuoteRecord Quote(const char* nameUtf8, const char* code, float price, float prevClose) {
    QuoteRecord q{};
    std::snprintf(q.name, sizeof q.name, "%s", Utf8ToGbk(nameUtf8).c_str());
    std::snprintf(q.code, sizeof q.code, "%s", code);
    q.price = price;
    q.prevClose = prevClose;
    // The services write three decimals at most; the parsers keep that text exactly.
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", static_cast<double>(price));
    q.exactPrice = ExactPriceUnits(text);
    std::snprintf(text, sizeof text, "%.3f", static_cast<double>(prevClose));
    q.exactPrevClose = ExactPriceUnits(text);
    return q;
}

// Hands out prepared records the way a fetcher does: on success with the count and the time, on
// failure with records left in the table and no count.
struct FakeProvider {
    int result = FetchOk;
    std::vector<QuoteRecord> records;
    std::string dataTime = "2022-11-11 15:00:00";
    bool throws = false;
    int calls = 0;
    std::string headers;
    std::vector<std::string> urls;
    std::function<void(QuoteBatch&)> fill;

    QuoteFetcher Fetcher() {
        return [this](const TickerSettings&, std::string_view url, const char* sent,
                      QuoteBatch& batch) {
            ++calls;
            headers = sent;
            urls.emplace_back(url);
            if (throws) {
                throw std::runtime_error("lost");
            }
            for (std::size_t i = 0; i < records.size(); ++i) {
                batch.records[i] = std::make_unique<QuoteRecord>(records[i]);
            }
            if (result == FetchOk) {
                batch.count = static_cast<int>(records.size());
                std::snprintf(batch.dataTime, sizeof batch.dataTime, "%s", dataTime.c_str());
                if (fill) {
                    fill(batch);
                }
            }
            return result;
        };
    }
};

struct Rendered {
    std::string page;
    int rows = 2;
    int cols = 3;
    int result = 0;
};

// What the refresh thread holds beside the settings: the chosen service's request URL and the
// version check's finding.
struct Held {
    std::string quoteUrl;
    bool updateRequired = false;
};

Rendered Render(const TickerSettings& settings, FakeProvider& sina, FakeProvider& netEase,
                FakeProvider& tencent, const Held& held = {}) {
    std::vector<char> buffer(PageBufferSize, '\0');
    Rendered out;
    out.result =
        RenderQuotePage(settings, held.quoteUrl, held.updateRequired, buffer, out.rows, out.cols,
                        QuoteFetchers{sina.Fetcher(), netEase.Fetcher(), tencent.Fetcher()});
    out.page = buffer.data();
    return out;
}

Rendered Render(const TickerSettings& settings, FakeProvider& sina, FakeProvider& netEase) {
    FakeProvider tencent;
    tencent.result = FetchFailed;
    return Render(settings, sina, netEase, tencent);
}

Rendered Render(const TickerSettings& settings, FakeProvider& provider, const Held& held = {}) {
    FakeProvider unused;
    unused.result = FetchFailed;
    FakeProvider unusedToo = unused;
    switch (settings.provider) {
        case ProviderNetEase:
            return Render(settings, unused, provider, unusedToo, held);
        case ProviderTencent:
            return Render(settings, unused, unusedToo, provider, held);
        default:
            return Render(settings, provider, unused, unusedToo, held);
    }
}

// The two rows of the default page below: a rise with two decimals and a fall with three.
FakeProvider TwoQuotes() {
    FakeProvider provider;
    QuoteRecord rise = Quote("上证指数", "1A0001", 10.00f, 9.50f);
    rise.open = 9.60f;
    rise.high = 10.20f;
    rise.low = 9.40f;
    rise.volume = 123456;
    rise.turnover = 12345.6789f;
    QuoteRecord fall = Quote("深证成指", "399001", 1.234f, 1.250f);
    fall.open = 1.24f;
    fall.high = 1.26f;
    fall.low = 1.23f;
    fall.turnover = 0.5f;
    provider.records = {rise, fall};
    return provider;
}

constexpr char DefaultPage[] =
    "<html><head>"
    "<meta http-equiv=\"Content-Type\" content=\"text/html\" charset=\"gb2312\" />"
    "<title>Quorvane VEMO</title>"
    "<style>body{border:0;margin:5px;font-family:\"宋体\"} table{font-size:12px;} "
    ".cjc{color: #0000FF} .cup{color: #FF0000} .cdn{color: #009900} .cbt{color: #000000} "
    "</style></head>"
    "<body bgcolor=#FFFFE6 scroll=\"no\" oncontextmenu=\"return false\">"
    "<table cellspacing=0px cellpadding=2px align=center width=100%>"
    "<tr class=\"cbt\" align=\"center\"><td>简称</td><td>最新价</td><td>涨跌(%)</td></tr>"
    "<tr><td colspan=3 bgcolor=\"#0000CC\" height=1px></td></tr>"
    "<tr align=\"right\" class=\"cup\"><td align=\"center\"><a "
    "href=http://www.quorvane.com/client/vemoskip.php?Ver=43&Dts=2&Code=1A0001 "
    "target=\"_blank\" title=\"上证指数(1A0001)&#10;昨收盘: 9.50&#10;今开盘: 9.60&#10;最  高: "
    "10.20&#10;最  低: 9.40&#10;成交量: 123456&#10;成交额: 12345.68\" "
    "class=\"cjc\">上证指数</a></td><td>10.00</td><td>+5.26%</td></tr>"
    "<tr align=\"right\" class=\"cdn\"><td align=\"center\"><a "
    "href=http://www.quorvane.com/client/vemoskip.php?Ver=43&Dts=2&Code=399001 "
    "target=\"_blank\" title=\"深证成指(399001)&#10;昨收盘: 1.25&#10;今开盘: 1.24&#10;最  高: "
    "1.26&#10;最  低: 1.23&#10;成交量: 0&#10;成交额: 0.50\" "
    "class=\"cjc\">深证成指</a></td><td>1.234</td><td>-1.28%</td></tr>"
    "<tr class=\"cbt\"><td colspan=3 align=right>2022-11-11 15:00:00</td></tr>"
    "</table></body></html>";

// The text of the first quote row, "<tr align=..." to "</tr>".
std::string FirstRow(const std::string& page) {
    const std::size_t start = page.find("<tr align=\"right\"");
    if (start == std::string::npos) {
        return {};
    }
    return page.substr(start, page.find("</tr>", start) + 5 - start);
}

TEST(QuotePageTest, DefaultPageByteForByte) {
    FakeProvider sina = TwoQuotes();
    FakeProvider netEase;
    const Rendered out = Render(DefaultTickerSettings(), sina, netEase);
    const std::string expected = Utf8ToGbk(DefaultPage);
    EXPECT_EQ(out.page, expected);
    EXPECT_EQ(out.result, static_cast<int>(expected.size()));
    EXPECT_EQ(out.rows, 2);
    EXPECT_EQ(out.cols, 3);
    EXPECT_EQ(sina.calls, 1);
    EXPECT_EQ(netEase.calls, 0);
    EXPECT_EQ(sina.headers, QuoteRequestHeaders);
}

TEST(QuotePageTest, ProviderPicksFetcherAndLinkBase) {
    // Tencent's rows link as Sina's do: its symbols are Sina's.
    for (const int provider : {0, 2, 3, 4, 7}) {
        SCOPED_TRACE(provider);
        TickerSettings settings = DefaultTickerSettings();
        settings.provider = provider;
        FakeProvider sina = TwoQuotes();
        FakeProvider netEase = TwoQuotes();
        FakeProvider tencent = TwoQuotes();
        const Rendered out = Render(settings, sina, netEase, tencent);
        EXPECT_EQ(netEase.calls, provider == 3 ? 1 : 0);
        EXPECT_EQ(tencent.calls, provider == 4 ? 1 : 0);
        EXPECT_EQ(sina.calls, provider == 3 || provider == 4 ? 0 : 1);
        EXPECT_NE(out.page.find(provider == 3 ? "vemoskip.php?Ver=43&Dts=3&Code=399001 "
                                              : "vemoskip.php?Ver=43&Dts=2&Code=399001 "),
                  std::string::npos);
        EXPECT_NE(out.page.find("<td colspan=3 align=right>2022-11-11 15:00:00</td>"),
                  std::string::npos);
    }
}

TEST(QuotePageTest, RowsOfEveryKind) {
    struct Case {
        float price;
        float prevClose;
        const char* row;
    };
    const Case cases[] = {
        {10.00f, 9.50f, "class=\"cup\"><td>10.00</td><td>+0.50</td><td>+5.26%</td>"},
        {1.234f, 1.250f, "class=\"cdn\"><td>1.234</td><td>-0.016</td><td>-1.28%</td>"},
        {10.100f, 10.0f, "class=\"cup\"><td>10.10</td><td>+0.10</td><td>+1.00%</td>"},
        {0.0f, 9.50f, "class=\"cdn\"><td>0.00</td><td>0.00</td><td>0.00%</td>"},
        {9.50f, 9.50f, "class=\"cdn\"><td>9.50</td><td>0.00</td><td>0.00%</td>"},
        // No previous close: the change texts are zero, yet the price counts as a rise.
        {1.234f, 0.0f, "class=\"cup\"><td>1.234</td><td>0.000</td><td>0.00%</td>"},
        // Change texts longer than nine characters are written whole.
        {22345.678f, 10000.0f,
         "class=\"cup\"><td>22345.678</td><td>+12345.678</td><td>+123.46%</td>"},
        {3e38f, 1.0f,
         "class=\"cup\"><td>300000000549775575777803994281145270272.00</td>"
         "<td>+300000000549775575777803994281145270272.00</td>"
         "<td>+inf%</td>"},
    };
    TickerSettings settings = DefaultTickerSettings();
    settings.pageContent = showPrice | showChangeAmount | showChangePercent;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        FakeProvider sina;
        sina.records = {Quote("x", "600000", c.price, c.prevClose)};
        const Rendered out = Render(settings, sina);
        EXPECT_EQ(FirstRow(out.page), std::string("<tr align=\"right\" ") + c.row + "</tr>");
        EXPECT_EQ(out.cols, 3);
        EXPECT_EQ(out.rows, 1);
    }
}

TEST(QuotePageTest, AllColumnsInOrder) {
    TickerSettings settings = DefaultTickerSettings();
    settings.pageContent = 0x7F;
    FakeProvider sina;
    sina.records = {Quote("浦发银行", "600000", 10.00f, 9.50f)};
    const Rendered out = Render(settings, sina);
    EXPECT_EQ(out.cols, 5);
    EXPECT_NE(out.page.find(Utf8ToGbk("<tr class=\"cbt\" align=\"center\"><td>代码</td><td>简称</"
                                      "td><td>最新价</td><td>涨跌(元)</td><td>涨跌(%)</td></tr>"
                                      "<tr><td colspan=5 bgcolor")),
              std::string::npos);
    const std::string link =
        "<td align=\"center\"><a href=http://www.quorvane.com/client/"
        "vemoskip.php?Ver=43&Dts=2&Code=600000 target=\"_blank\" title=\"" +
        Utf8ToGbk(
            "浦发银行(600000)&#10;昨收盘: 9.50&#10;今开盘: "
            "0.00&#10;最  高: 0.00&#10;最  低: 0.00&#10;成交量: "
            "0&#10;成交额: 0.00") +
        "\" class=\"cjc\">";
    EXPECT_EQ(FirstRow(out.page), "<tr align=\"right\" class=\"cup\">" + link + "600000</a></td>" +
                                      link + Utf8ToGbk("浦发银行") +
                                      "</a></td><td>10.00</td><td>+0.50</td><td>+5.26%</td></tr>");
    EXPECT_NE(out.page.find("<tr class=\"cbt\"><td colspan=5 align=right>"), std::string::npos);
}

TEST(QuotePageTest, NoColumnBits) {
    TickerSettings settings = DefaultTickerSettings();
    settings.pageContent = showHeader | showRefreshTime;
    FakeProvider sina = TwoQuotes();
    const Rendered out = Render(settings, sina);
    EXPECT_EQ(out.cols, 1);
    EXPECT_EQ(out.rows, 2);
    EXPECT_NE(out.page.find("<table cellspacing=0px cellpadding=2px align=center width=100%>"
                            "<tr class=\"cbt\" align=\"center\"></tr>"
                            "<tr><td colspan=1 bgcolor=\"#0000CC\" height=1px></td></tr>"
                            "<tr align=\"right\" class=\"cup\"></tr>"
                            "<tr align=\"right\" class=\"cdn\"></tr>"
                            "<tr class=\"cbt\"><td colspan=1 align=right>2022-11-11 15:00:00"
                            "</td></tr></table></body></html>"),
              std::string::npos);
}

TEST(QuotePageTest, NoHeaderNoTimeNoRecords) {
    TickerSettings settings = DefaultTickerSettings();
    settings.pageContent = showPrice;
    // Every service answers, none with a quote.
    FakeProvider sina;
    FakeProvider netEase;
    FakeProvider tencent;
    const Rendered out = Render(settings, sina, netEase, tencent);
    EXPECT_EQ(out.rows, 0);
    EXPECT_EQ(out.cols, 1);
    EXPECT_TRUE(out.page.ends_with(
        "<table cellspacing=0px cellpadding=2px align=center width=100%></table></body></html>"));
}

TEST(QuotePageTest, CustomColoursAndFontSizes) {
    char text[ColourTextSize];
    FormatHtmlColour(text, 0x00E6FFFF);
    EXPECT_STREQ(text, "#FFFFE6");
    FormatHtmlColour(text, 0x000000FF);
    EXPECT_STREQ(text, "#FF0000");
    FormatHtmlColour(text, 0xFF123456);  // the unused top byte is ignored
    EXPECT_STREQ(text, "#563412");

    TickerSettings settings = DefaultTickerSettings();
    settings.optionFlags |= customColors;
    settings.backgroundColor = 0x00010203;
    settings.nameColor = 0x00040506;
    settings.upColor = 0x00070809;
    settings.downColor = 0x000A0B0C;
    settings.headerColor = 0x000D0E0F;
    for (const auto& [fontSize, css] :
         {std::pair{0, "table{font-size:11px;} "}, std::pair{4, "table{font-size:15px;} "}}) {
        settings.fontSize = fontSize;
        FakeProvider sina = TwoQuotes();
        const Rendered out = Render(settings, sina);
        EXPECT_NE(out.page.find(css), std::string::npos) << fontSize;
        EXPECT_NE(out.page.find(".cjc{color: #060504} .cup{color: #090807} .cdn{color: #0C0B0A} "
                                ".cbt{color: #0F0E0D} </style></head><body bgcolor=#030201 "),
                  std::string::npos);
    }
    // Without the custom bit the stored colours are not used.
    settings.optionFlags &= ~customColors;
    FakeProvider sina = TwoQuotes();
    EXPECT_NE(Render(settings, sina).page.find("<body bgcolor=#FFFFE6 "), std::string::npos);
}

TEST(QuotePageTest, NoticesFetchNothingAndKeepTheShape) {
    const std::string emptyNotice = Utf8ToGbk(
        "<html><style>body{border:0; font-size:12px; color:#FF0000}</style><body scroll=no "
        "bgcolor=\"#FFFFE6\">股票代码列表中无数据 请添加股票代码</body></html>");
    const std::string upgradeNotice = Utf8ToGbk(
        "<html><style>body{border:0; font-size:12px; color:#FF0000}</style><body scroll=no "
        "bgcolor=\"#FFFFE6\">版本需要升级才能正常使用<br><a href=\"http://www.quorvane.com/\" "
        "target=\"_blank\">查看新版本</a></body></html>");
    struct Case {
        const char* codeList;
        bool upgrade;
        const std::string& page;
    };
    const Case cases[] = {
        {",", false, emptyNotice},  {"", false, emptyNotice},         {",6000", false, emptyNotice},
        {",", true, upgradeNotice}, {",600000", true, upgradeNotice},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.codeList);
        TickerSettings settings = DefaultTickerSettings();
        std::snprintf(settings.codeList, sizeof settings.codeList, "%s", c.codeList);
        FakeProvider sina = TwoQuotes();
        const Rendered out = Render(settings, sina, Held{"", c.upgrade});
        EXPECT_EQ(out.page, c.page);
        EXPECT_EQ(out.result, 0);
        EXPECT_EQ(out.rows, 2);
        EXPECT_EQ(out.cols, 3);
        EXPECT_EQ(sina.calls, 0);
    }
    // Six characters are a list.
    TickerSettings settings = DefaultTickerSettings();
    std::snprintf(settings.codeList, sizeof settings.codeList, ",60000");
    FakeProvider sina = TwoQuotes();
    EXPECT_EQ(Render(settings, sina).rows, 2);
    EXPECT_EQ(sina.calls, 1);
}

TEST(QuotePageTest, FetchErrorPage) {
    const std::string errorPage = Utf8ToGbk(
        "<html><style>body{border:0; font-size:12px;}</style><body scroll=no bgcolor=#FFFFE6>"
        "<font color=#FF0000>获得数据出错 请检查网络连接</font></body></html>");
    for (const int result : {FetchBadUrl, FetchFailed}) {
        // Records left in the table by the failed fetch are released (the leak check sees it).
        FakeProvider sina = TwoQuotes();
        sina.result = result;
        TickerSettings settings = DefaultTickerSettings();
        settings.pageContent = showCode | showPrice | showChangeAmount | showChangePercent;
        const Rendered out = Render(settings, sina);
        EXPECT_EQ(out.page, errorPage);
        EXPECT_EQ(out.result, result);
        EXPECT_EQ(out.rows, 0);
        EXPECT_EQ(out.cols, 4);
    }
}

TEST(QuotePageTest, FetcherThatThrowsOrIsMissingIsAFailedFetch) {
    TickerSettings settings = DefaultTickerSettings();
    std::vector<char> buffer(PageBufferSize, '\0');
    int rows = 2;
    int cols = 3;
    const QuoteFetcher throwing = [](const TickerSettings&, std::string_view, const char*,
                                     QuoteBatch& batch) {
        batch.records[0] = std::make_unique<QuoteRecord>();
        throw std::runtime_error("lost");
        return FetchOk;
    };
    EXPECT_EQ(RenderQuotePage(settings, {}, false, buffer, rows, cols, QuoteFetchers{throwing, {}}),
              FetchFailed);
    EXPECT_EQ(rows, 0);
    settings.provider = ProviderNetEase;
    EXPECT_EQ(RenderQuotePage(settings, {}, false, buffer, rows, cols, QuoteFetchers{throwing, {}}),
              FetchFailed);
    EXPECT_NE(std::string(buffer.data()).find("bgcolor=#FFFFE6><font color=#FF0000>"),
              std::string::npos);
}

TEST(QuotePageTest, ProviderTextIsEscapedInMarkup) {
    TickerSettings settings = DefaultTickerSettings();
    settings.pageContent = showCode | showName;
    FakeProvider sina;
    sina.records = {Quote("A&B<i>\"", "6<\"&>", 1.0f, 1.0f)};
    const std::string row = FirstRow(Render(settings, sina).page);
    const std::string link =
        "<td align=\"center\"><a href=http://www.quorvane.com/client/vemoskip.php?Ver=43&Dts=2"
        "&Code=6&lt;&quot;&amp;&gt; target=\"_blank\" title=\"A&amp;B&lt;i&gt;&quot;(6&lt;"
        "&quot;&amp;&gt;)&#10;";
    EXPECT_NE(row.find(link), std::string::npos) << row;
    EXPECT_NE(row.find("class=\"cjc\">6&lt;&quot;&amp;&gt;</a></td>"), std::string::npos);
    EXPECT_NE(row.find("class=\"cjc\">A&amp;B&lt;i&gt;&quot;</a></td>"), std::string::npos);
}

TEST(QuotePageTest, MarkupInPlaceOfTheTimeNeverReachesThePage) {
    const std::string hostile = "</table><h1>x</h1>";
    const std::vector<std::string> sina = {"var hq_str_sh600000=\"" + Utf8ToGbk("浦发银行") +
                                           ",9.60,9.50,10.00,10.20,9.40,9.99,10.00,100,2000," +
                                           hostile + "\";"};
    const std::vector<std::string> netEase = {
        "var quote_0600000='0600000;x;9.50;9.60;2000;100;0;0;10.20;9.40;10.00;" + hostile +
        "';QuoteData.show_quote();"};
    const QuoteFetchers parsing{
        [&](const TickerSettings&, std::string_view, const char*, QuoteBatch& batch) {
            ParseSinaResponse(sina, batch);
            return FetchOk;
        },
        [&](const TickerSettings&, std::string_view, const char*, QuoteBatch& batch) {
            ParseNetEaseResponse(netEase, batch);
            return FetchOk;
        }};
    for (const int provider : {ProviderSina, ProviderNetEase}) {
        SCOPED_TRACE(provider);
        TickerSettings settings = DefaultTickerSettings();
        settings.provider = provider;
        std::vector<char> buffer(PageBufferSize, '\0');
        int rows = 2;
        int cols = 3;
        RenderQuotePage(settings, {}, false, buffer, rows, cols, parsing);
        const std::string page = buffer.data();
        EXPECT_EQ(rows, 1);
        EXPECT_EQ(page.find("<h1>"), std::string::npos) << page;
        // The refused time leaves the time row empty.
        EXPECT_TRUE(
            page.ends_with("<tr class=\"cbt\"><td colspan=3 align=right></td></tr>"
                           "</table></body></html>"))
            << page;
    }

    // A time that reaches the renderer by another way is escaped like the name and code.
    FakeProvider provider = TwoQuotes();
    provider.dataTime = hostile;
    const std::string page = Render(DefaultTickerSettings(), provider).page;
    EXPECT_EQ(page.find("<h1>"), std::string::npos);
    EXPECT_NE(page.find("<td colspan=3 align=right>&lt;/table&gt;&lt;h1&gt;x&lt;/h1&gt;</td>"),
              std::string::npos)
        << page;
}

TEST(QuotePageTest, SmallBuffersAreNeverOverrun) {
    FakeProvider sina = TwoQuotes();
    const std::string full = Render(DefaultTickerSettings(), sina).page;
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{100},
                                   full.size(), full.size() + 1}) {
        SCOPED_TRACE(size);
        // The page lives at the end of its own allocation, so a byte past it is outside.
        std::vector<char> buffer(size, 'x');
        int rows = 2;
        int cols = 3;
        FakeProvider fresh = TwoQuotes();
        const int written = RenderQuotePage(DefaultTickerSettings(), {}, false, buffer, rows, cols,
                                            QuoteFetchers{fresh.Fetcher(), {}});
        if (size == 0) {
            EXPECT_EQ(written, 0);
            continue;
        }
        const std::size_t length = strnlen(buffer.data(), size);
        ASSERT_LT(length, size);
        EXPECT_EQ(static_cast<std::size_t>(written), length);
        EXPECT_EQ(std::string(buffer.data(), length), full.substr(0, length));
        EXPECT_EQ(rows, 2);
    }
}

class LeakCheckPause {
  public:
#if defined(__SANITIZE_ADDRESS__)
    LeakCheckPause() {
        __lsan_disable();
    }
    ~LeakCheckPause() {
        __lsan_enable();
    }
#endif
};

// A number written in a locale with a decimal comma would break the page and the parsing.
TEST(QuotePageTest, NumbersKeepTheirPointInAnyLocale) {
    locale_t comma = newlocale(LC_ALL_MASK, "de_DE.UTF-8", nullptr);
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("vemo-locale-" + std::to_string(getpid()));
    if (comma == nullptr) {
        std::filesystem::create_directories(dir);
        const std::string command =
            "localedef -i de_DE -f UTF-8 '" + (dir / "de_DE.UTF-8").string() + "' 2>/dev/null";
        if (std::system(command.c_str()) == 0) {
            setenv("LOCPATH", dir.c_str(), 1);
            {
                // glibc's newlocale keeps its LOCPATH search list for good.
                LeakCheckPause pause;
                comma = newlocale(LC_ALL_MASK, "de_DE.UTF-8", nullptr);
            }
            unsetenv("LOCPATH");
        }
    }
    if (comma == nullptr) {
        std::filesystem::remove_all(dir);
        GTEST_SKIP() << "no locale with a decimal comma could be made";
    }
    const locale_t previous = uselocale(comma);
    char probe[16];
    std::snprintf(probe, sizeof probe, "%0.2f", 1.5);
    EXPECT_STREQ(probe, "1,50");  // the locale is in force

    QuoteBatch batch;
    ParseSinaResponse(std::vector<std::string>{std::string(50, 'x') +
                                               ";var hq_str_sh600000=\"x,9.60,9.50,10.00\";"},
                      batch);
    ASSERT_EQ(batch.count, 1);
    EXPECT_FLOAT_EQ(batch.records[0]->prevClose, 9.5f);

    TickerSettings settings = DefaultTickerSettings();
    settings.pageContent = showPrice | showChangeAmount | showChangePercent;
    FakeProvider sina;
    sina.records = {Quote("x", "600000", 10.00f, 9.50f)};
    const Rendered out = Render(settings, sina);
    std::snprintf(probe, sizeof probe, "%0.2f", 1.5);
    uselocale(previous);
    freelocale(comma);
    std::filesystem::remove_all(dir);

    EXPECT_STREQ(probe, "1,50");  // and is in force again afterwards
    EXPECT_EQ(FirstRow(out.page),
              "<tr align=\"right\" class=\"cup\"><td>10.00</td><td>+0.50</td><td>+5.26%</td></tr>");
}

TEST(QuotePageTest, ParsedResponsesRenderInResponseOrder) {
    const std::vector<std::string> lines = {
        "var hq_str_sz399001=\"" + Utf8ToGbk("深证成指") +
            ",11000.1,11100.2,11050.3,11200.4,10900.5,0,0,100,2000000,"
            "0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,2022-11-11,15:00:03,00,\";",
        "var hq_str_sh000001=\"\";"};
    const QuoteFetchers fetchers{
        [&lines](const TickerSettings&, std::string_view, const char*, QuoteBatch& batch) {
            ParseSinaResponse(lines, batch);
            return FetchOk;
        },
        {}};
    TickerSettings settings = DefaultTickerSettings();
    settings.pageContent = showCode | showPrice | showChangePercent | showRefreshTime;
    std::vector<char> buffer(PageBufferSize, '\0');
    int rows = 2;
    int cols = 3;
    RenderQuotePage(settings, {}, false, buffer, rows, cols, fetchers);
    const std::string page = buffer.data();
    EXPECT_EQ(rows, 1);
    EXPECT_NE(page.find("&Code=399001 "), std::string::npos);
    EXPECT_NE(page.find("class=\"cjc\">399001</a></td><td>11050.30</td><td>-0.45%</td></tr>"
                        "<tr class=\"cbt\"><td colspan=3 align=right>2022-11-11 15:00:03</td>"),
              std::string::npos);
}

TEST(FailoverTest, ServiceOrderSkipsTheChosenOne) {
    using Order = std::array<int, 3>;
    EXPECT_EQ(ServiceOrder(ProviderSina), (Order{ProviderSina, ProviderTencent, ProviderNetEase}));
    EXPECT_EQ(ServiceOrder(ProviderTencent),
              (Order{ProviderTencent, ProviderSina, ProviderNetEase}));
    EXPECT_EQ(ServiceOrder(ProviderNetEase),
              (Order{ProviderNetEase, ProviderSina, ProviderTencent}));
    // Stored values other than 3 and 4 mean Sina.
    EXPECT_EQ(ServiceOrder(0), ServiceOrder(ProviderSina));
    EXPECT_EQ(ServiceOrder(-5), ServiceOrder(ProviderSina));
}

// The ways a service fails a refresh.
// (An answer in some other form, such as an error page, also reads as no records; the simulator
// tests send one.)
enum class Failure { Transport, BadUrl, NoRecords, Throws };

void MakeFail(FakeProvider& provider, Failure failure) {
    switch (failure) {
        case Failure::Transport:
            provider.result = FetchFailed;
            break;
        case Failure::BadUrl:
            provider.result = FetchBadUrl;
            break;
        case Failure::NoRecords:
            provider.records.clear();  // FetchOk, every entry empty
            break;
        case Failure::Throws:
            provider.throws = true;
            break;
    }
}

// The page with the time line's note after the data time taken out.
std::string WithoutNote(std::string page, const std::string& note) {
    const std::size_t at = page.find(note + "</td></tr></table>");
    if (at != std::string::npos) {
        page.erase(at, note.size());
    }
    return page;
}

TEST(FailoverTest, FailingChosenServiceHandsOverInTheFixedOrder) {
    const std::string reference = Utf8ToGbk(DefaultPage);
    const std::string tencentNote = Utf8ToGbk(" 腾讯");
    for (const Failure failure :
         {Failure::Transport, Failure::BadUrl, Failure::NoRecords, Failure::Throws}) {
        SCOPED_TRACE(static_cast<int>(failure));
        TickerSettings settings = DefaultTickerSettings();
        const Held held{MakeQuoteUrl(",1A0001,399001", ProviderSina)};
        FakeProvider sina = TwoQuotes();
        MakeFail(sina, failure);
        FakeProvider netEase = TwoQuotes();
        FakeProvider tencent = TwoQuotes();
        const Rendered out = Render(settings, sina, netEase, tencent, held);
        EXPECT_EQ(sina.calls, 1);
        EXPECT_EQ(tencent.calls, 1);
        EXPECT_EQ(netEase.calls, 0);
        EXPECT_EQ(sina.urls,
                  std::vector<std::string>{"http://hq.sinajs.cn/list=sh000001,sz399001"});
        EXPECT_EQ(tencent.urls, std::vector<std::string>{"http://qt.gtimg.cn/q=sh000001,sz399001"});
        // Tencent's quotes in Sina's page, the service named after the time.
        EXPECT_NE(out.page.find("2022-11-11 15:00:00" + tencentNote + "</td></tr></table>"),
                  std::string::npos);
        EXPECT_EQ(WithoutNote(out.page, tencentNote), reference);
        EXPECT_EQ(out.rows, 2);
        EXPECT_EQ(out.result, static_cast<int>(out.page.size()));
    }
}

TEST(FailoverTest, EachChosenServiceHasItsOwnStandIns) {
    struct Case {
        int chosen;
        std::vector<int> failing;
        int answering;
        const char* note;
        const char* dts;
    };
    const Case cases[] = {
        {ProviderTencent, {ProviderTencent}, ProviderSina, " 新浪", "&Dts=2&"},
        {ProviderTencent, {ProviderTencent, ProviderSina}, ProviderNetEase, " 网易", "&Dts=3&"},
        {ProviderNetEase, {ProviderNetEase}, ProviderSina, " 新浪", "&Dts=2&"},
        {ProviderNetEase, {ProviderNetEase, ProviderSina}, ProviderTencent, " 腾讯", "&Dts=2&"},
        {ProviderSina, {ProviderSina, ProviderTencent}, ProviderNetEase, " 网易", "&Dts=3&"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.note);
        TickerSettings settings = DefaultTickerSettings();
        settings.provider = c.chosen;
        std::map<int, FakeProvider> services;
        for (const int provider : {ProviderSina, ProviderNetEase, ProviderTencent}) {
            services[provider] = TwoQuotes();
        }
        for (const int provider : c.failing) {
            services[provider].result = FetchFailed;
        }
        const Rendered out = Render(settings, services[ProviderSina], services[ProviderNetEase],
                                    services[ProviderTencent]);
        EXPECT_NE(out.page.find("15:00:00" + Utf8ToGbk(c.note) + "</td>"), std::string::npos);
        EXPECT_NE(out.page.find(c.dts), std::string::npos);
        EXPECT_EQ(out.page.find(std::string(c.dts) == "&Dts=2&" ? "&Dts=3&" : "&Dts=2&"),
                  std::string::npos);
        for (auto& [provider, service] : services) {
            const bool asked =
                provider == c.answering ||
                std::find(c.failing.begin(), c.failing.end(), provider) != c.failing.end();
            EXPECT_EQ(service.calls, asked ? 1 : 0) << provider;
        }
        // The stand-ins' requests are built for them from the code list.
        EXPECT_EQ(services[c.answering].urls,
                  std::vector<std::string>{MakeQuoteUrl(",1A0001,399001", c.answering)});
    }
}

TEST(FailoverTest, WorkingChosenServiceIsNeverBypassed) {
    for (const int provider : {ProviderSina, ProviderNetEase, ProviderTencent}) {
        SCOPED_TRACE(provider);
        TickerSettings settings = DefaultTickerSettings();
        settings.provider = provider;
        // Quotes for one of the two codes: the service works, and its answer stands as it is.
        std::map<int, FakeProvider> services;
        for (const int each : {ProviderSina, ProviderNetEase, ProviderTencent}) {
            services[each] = TwoQuotes();
        }
        services[provider].records.pop_back();
        const Rendered out = Render(settings, services[ProviderSina], services[ProviderNetEase],
                                    services[ProviderTencent]);
        EXPECT_EQ(out.rows, 1);
        EXPECT_NE(out.page.find("<td colspan=3 align=right>2022-11-11 15:00:00</td>"),
                  std::string::npos);
        for (auto& [each, service] : services) {
            EXPECT_EQ(service.calls, each == provider ? 1 : 0) << each;
        }
    }
}

const char FetchErrorStart[] = "<html><style>body{border:0; font-size:12px;}</style>";

// A refresh in which no service gives a quote shows the error page, whatever the chosen one's
// failure looked like; a refusal page or an empty body reads as an answer without records.
TEST(FailoverTest, NoQuoteFromAnyServiceIsTheErrorPageForEachChosenService) {
    for (const int chosen : {ProviderSina, ProviderNetEase, ProviderTencent}) {
        for (const Failure failure :
             {Failure::Transport, Failure::BadUrl, Failure::NoRecords, Failure::Throws}) {
            SCOPED_TRACE(testing::Message() << "chosen " << chosen << ", failure "
                                            << static_cast<int>(failure));
            TickerSettings settings = DefaultTickerSettings();
            settings.provider = chosen;
            std::map<int, FakeProvider> services;
            for (const int provider : {ProviderSina, ProviderNetEase, ProviderTencent}) {
                services[provider] = TwoQuotes();
                if (provider != chosen) {
                    services[provider].result = FetchFailed;
                }
            }
            MakeFail(services[chosen], failure);
            services[chosen].dataTime.clear();  // a refusal carries no time either
            const Rendered out = Render(settings, services[ProviderSina],
                                        services[ProviderNetEase], services[ProviderTencent]);
            EXPECT_EQ(out.page.rfind(FetchErrorStart, 0), 0u) << out.page;
            EXPECT_EQ(out.page.find("<table"), std::string::npos);
            EXPECT_EQ(out.result, failure == Failure::BadUrl ? FetchBadUrl : FetchFailed);
            EXPECT_EQ(out.rows, 0);
            for (auto& [provider, service] : services) {
                EXPECT_EQ(service.calls, 1) << provider;
            }
        }
    }
}

TEST(FailoverTest, EveryServiceAnsweringWithoutQuotesShowsTheEmptyTable) {
    // Codes that no service knows: each answers, none with a quote.
    TickerSettings settings = DefaultTickerSettings();
    FakeProvider sina;
    FakeProvider netEase;
    FakeProvider tencent;
    const Rendered out = Render(settings, sina, netEase, tencent);
    EXPECT_EQ(out.rows, 0);
    EXPECT_EQ(out.result, static_cast<int>(out.page.size()));
    EXPECT_NE(out.page.find("<td colspan=3 align=right>2022-11-11 15:00:00</td>"),
              std::string::npos);
    EXPECT_EQ(sina.calls + netEase.calls + tencent.calls, 3);
}

class PageSessionTest : public ::testing::Test {
  protected:
    PageSessionTest() {
        for (const int provider : {ProviderSina, ProviderNetEase, ProviderTencent}) {
            services[provider] = TwoQuotes();
        }
    }

    RefreshReport Refresh(const TickerSettings& settings = DefaultTickerSettings()) {
        std::vector<char> buffer(PageBufferSize, '\0');
        rows = 2;
        cols = 3;
        const RefreshReport report =
            session.Render(settings, {}, false, buffer, rows, cols, holdings);
        page = buffer.data();
        return report;
    }

    const HoldingTable* holdings = nullptr;

    void AllFail() {
        for (auto& [provider, service] : services) {
            service.result = FetchFailed;
        }
    }

    std::map<int, FakeProvider> services;
    QuotePageSession session{QuoteFetchers{services[ProviderSina].Fetcher(),
                                           services[ProviderNetEase].Fetcher(),
                                           services[ProviderTencent].Fetcher()}};
    std::string page;
    int rows = 2;
    int cols = 3;
};

// An installed program cannot replace itself: its upgrade notice sends the user to the package
// manager and offers no download, and still asks no service.
TEST_F(PageSessionTest, UpgradeNoticeOfAProgramThePackageManagerReplaces) {
    session.SetUpgradeByPackageManager(true);
    TickerSettings settings = DefaultTickerSettings();
    std::vector<char> buffer(PageBufferSize, '\0');
    session.Render(settings, {}, true, buffer, rows, cols);
    EXPECT_EQ(std::string(buffer.data()),
              Utf8ToGbk("<html><style>body{border:0; font-size:12px; color:#FF0000}</style><body "
                        "scroll=no bgcolor=\"#FFFFE6\">版本需要升级才能正常使用<br>VEMO "
                        "由系统的软件包管理器安装, 请用软件包管理器升级</body></html>"));
    EXPECT_EQ(services[ProviderSina].calls, 0);
    // Without the mandatory update the quotes show as ever.
    Refresh(settings);
    EXPECT_NE(page.find("<table"), std::string::npos);
}

TEST_F(PageSessionTest, FailedRefreshKeepsTheLastTableMarkedUntilTheNextSuccess) {
    const std::string fresh = Utf8ToGbk(DefaultPage);
    const std::string mark = Utf8ToGbk(" <font color=#009900>未更新</font>");

    RefreshReport report = Refresh();
    EXPECT_EQ(page, fresh);
    EXPECT_TRUE(report.answered);
    EXPECT_FALSE(report.stale);
    EXPECT_EQ(report.provider, ProviderSina);
    EXPECT_EQ(report.result, static_cast<int>(fresh.size()));

    AllFail();
    report = Refresh();
    EXPECT_TRUE(report.stale);
    EXPECT_FALSE(report.answered);
    EXPECT_EQ(report.provider, ProviderSina);
    EXPECT_NE(page.find("2022-11-11 15:00:00" + mark + "</td></tr></table>"), std::string::npos);
    EXPECT_EQ(WithoutNote(page, mark), fresh);
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(cols, 3);
    EXPECT_EQ(report.result, static_cast<int>(page.size()));
    // And again, as long as every service fails.
    Refresh();
    EXPECT_EQ(WithoutNote(page, mark), fresh);
    EXPECT_EQ(services[ProviderSina].calls, 3);
    EXPECT_EQ(services[ProviderTencent].calls, 2);
    EXPECT_EQ(services[ProviderNetEase].calls, 2);

    services[ProviderSina].result = FetchOk;
    report = Refresh();
    EXPECT_EQ(page, fresh);
    EXPECT_FALSE(report.stale);
    EXPECT_TRUE(report.answered);
}

// Alerts mark rows through the session's row marker; without a mark the page is unchanged.
TEST_F(PageSessionTest, AlertMarksColourTheirRowsAndNothingElse) {
    const std::string fresh = Utf8ToGbk(DefaultPage);
    for (auto& [provider, service] : services) {
        for (QuoteRecord& record : service.records) {
            record.date = 20221111;
        }
    }
    AlertMonitor monitor;
    std::tm now{};
    now.tm_year = 122;
    now.tm_mon = 10;
    now.tm_mday = 11;
    std::vector<bool> lastFresh;
    std::vector<FiredAlert> fired;
    session.SetRowMarker([&](std::span<const QuoteRecord> shown, const char* dataTime, bool isFresh) {
        lastFresh.push_back(isFresh);
        AlertMonitor::Review review = monitor.ReviewRows(shown, dataTime, now, isFresh, false);
        fired.insert(fired.end(), review.fired.begin(), review.fired.end());
        return review.marks;
    });

    // Rules that do not fire leave the page byte for byte.
    AlertRules below;
    below[AlertKind::Below] = 1'000;
    monitor.SetRules({{"399001", below}});
    Refresh();
    EXPECT_EQ(page, fresh);
    EXPECT_TRUE(fired.empty());

    below[AlertKind::Below] = 1'240;
    monitor.SetRules({{"399001", below}});
    Refresh();
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_EQ(fired[0].code, "399001");
    EXPECT_EQ(fired[0].price, 1'234);
    EXPECT_EQ(fired[0].dataTime, "2022-11-11 15:00:00");
    const std::string markedRow = "<tr align=\"right\" class=\"cdn\" bgcolor=\"#FFD75E\">";
    EXPECT_NE(page.find(markedRow), std::string::npos);
    std::string unmarked = page;
    unmarked.replace(unmarked.find(" bgcolor=\"#FFD75E\""), 18, "");
    EXPECT_EQ(unmarked, fresh);

    // The last quotes shown again keep the mark and fire nothing.
    AllFail();
    Refresh();
    EXPECT_NE(page.find(markedRow), std::string::npos);
    EXPECT_EQ(fired.size(), 1u);
    EXPECT_EQ(lastFresh, (std::vector<bool>{true, true, false}));
    EXPECT_EQ(monitor.RowCode(1), "399001");
    EXPECT_EQ(monitor.RowCode(2), "");

    // With holdings the marked row keeps its profit cells, and the row of sums after the quotes
    // maps to no code, so a click on it clears nothing.
    HoldingTable held;
    held.Set("399001", Holding{100, 0});
    holdings = &held;
    services[ProviderSina].result = FetchOk;
    Refresh();
    const std::size_t marked = page.find(markedRow);
    ASSERT_NE(marked, std::string::npos);
    const std::size_t rowEnd = page.find("</tr>", marked);
    EXPECT_NE(page.substr(marked, rowEnd - marked).find("<td class=\"cdn\" nowrap>-1.60</td><td class=\"cup\" nowrap>+123.40</td>"),
              std::string::npos);
    EXPECT_GT(page.find(Utf8ToGbk(TotalRowCaption)), rowEnd);
    EXPECT_EQ(monitor.RowCode(2), "");
    holdings = nullptr;
    AllFail();

    // A click on the row ends the mark.
    monitor.ClearMark(monitor.RowCode(1));
    services[ProviderSina].result = FetchOk;
    Refresh();
    EXPECT_EQ(page, fresh);
}

TEST_F(PageSessionTest, KeptTableOfAStandInTakesTheCurrentColours) {
    services[ProviderSina].result = FetchFailed;
    services[ProviderTencent].result = FetchFailed;
    Refresh();  // NetEase answers
    AllFail();
    TickerSettings settings = DefaultTickerSettings();
    settings.optionFlags |= customColors;
    settings.downColor = 0x00332211;
    const RefreshReport report = Refresh(settings);
    EXPECT_TRUE(report.stale);
    EXPECT_EQ(report.provider, ProviderNetEase);
    // The mark alone follows the time: the default table has no room for the name too.
    EXPECT_NE(page.find(Utf8ToGbk("15:00:00 <font color=#112233>未更新</font></td>")),
              std::string::npos);
    EXPECT_NE(page.find("&Dts=3&Code=399001 "), std::string::npos);
}

TEST_F(PageSessionTest, NarrowTablesBreakTheTimeLineAndMakeRoomForIt) {
    TickerSettings settings = DefaultTickerSettings();
    settings.pageContent = showName | showPrice | showRefreshTime;
    services[ProviderSina].result = FetchFailed;
    Refresh(settings);
    EXPECT_NE(page.find(Utf8ToGbk("<td colspan=2 align=right>2022-11-11<br>15:00:00 腾讯</td>")),
              std::string::npos);
    EXPECT_EQ(rows, 3);  // two quotes and the time line's second line
    EXPECT_EQ(cols, 2);
    AllFail();
    Refresh(settings);
    EXPECT_NE(page.find(Utf8ToGbk("2022-11-11<br>15:00:00 <font color=#009900>未更新</font></td>")),
              std::string::npos);
    EXPECT_EQ(rows, 3);

    settings.pageContent = showPrice | showRefreshTime;
    Refresh(settings);
    EXPECT_NE(page.find(Utf8ToGbk("<td colspan=1 align=right>2022-11-11<br>15:00:00<br><font "
                                  "color=#009900>未更新</font></td>")),
              std::string::npos);
    EXPECT_EQ(rows, 4);
    // Without a time line there is nothing to make room for.
    settings.pageContent = showName | showPrice;
    Refresh(settings);
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(page.find(Utf8ToGbk("未更新")), std::string::npos);
}

TEST_F(PageSessionTest, TimeLineWithoutADateStillBreaksBeforeTheNote) {
    TickerSettings settings = DefaultTickerSettings();
    settings.pageContent = showPrice | showChangePercent | showRefreshTime;
    services[ProviderSina].result = FetchFailed;
    services[ProviderTencent].dataTime.clear();
    Refresh(settings);
    EXPECT_NE(page.find(Utf8ToGbk("<td colspan=2 align=right><br>腾讯</td>")), std::string::npos);
    EXPECT_EQ(rows, 3);
}

TEST_F(PageSessionTest, NoKeptTableWithoutQuotesOfTheSameList) {
    AllFail();
    RefreshReport report = Refresh();
    EXPECT_FALSE(report.stale);
    EXPECT_EQ(report.result, FetchFailed);
    EXPECT_EQ(page.find("<table"), std::string::npos);

    for (auto& [provider, service] : services) {
        service.result = FetchOk;
    }
    Refresh();
    AllFail();
    // Another code list: the old list's quotes are no stand-in for it.
    TickerSettings settings = DefaultTickerSettings();
    std::snprintf(settings.codeList, sizeof settings.codeList, ",600000");
    report = Refresh(settings);
    EXPECT_FALSE(report.stale);
    EXPECT_EQ(report.result, FetchFailed);
    EXPECT_EQ(rows, 0);
    // Nor are they when the list comes back.
    report = Refresh();
    EXPECT_FALSE(report.stale);
}

TEST_F(PageSessionTest, AnAnswerWithoutQuotesIsNoTableToKeep) {
    for (auto& [provider, service] : services) {
        service.records.clear();
    }
    RefreshReport report = Refresh();
    EXPECT_FALSE(report.answered);
    EXPECT_EQ(report.missingCodes, "1A0001, 399001");
    AllFail();
    report = Refresh();
    EXPECT_FALSE(report.stale);
    EXPECT_EQ(report.result, FetchFailed);
    EXPECT_EQ(page.find(Utf8ToGbk("未更新")), std::string::npos);
    EXPECT_EQ(page.find("<table"), std::string::npos);
}

TEST_F(PageSessionTest, ReportNamesTheCodesWithoutQuote) {
    TickerSettings settings = DefaultTickerSettings();
    std::snprintf(settings.codeList, sizeof settings.codeList, ",1A0001,999999,399001,999999");
    EXPECT_EQ(Refresh(settings).missingCodes, "999999");
    EXPECT_EQ(Refresh().missingCodes, "");
}

TEST_F(PageSessionTest, ReportCarriesTheNewestDateOfTheAnswer) {
    services[ProviderSina].fill = [](QuoteBatch& batch) {
        std::snprintf(batch.newestDate, sizeof batch.newestDate, "2026-12-04");
    };
    RefreshReport report = Refresh();
    EXPECT_STREQ(report.newestDate, "2026-12-04");
    AllFail();
    report = Refresh();
    EXPECT_STREQ(report.newestDate, "");
}

TEST_F(PageSessionTest, RunWithoutQuotesYetShowsTheErrorPageForEachChosenService) {
    for (const int chosen : {ProviderSina, ProviderNetEase, ProviderTencent}) {
        SCOPED_TRACE(chosen);
        TickerSettings settings = DefaultTickerSettings();
        settings.provider = chosen;
        for (auto& [provider, service] : services) {
            service.result = FetchFailed;
        }
        // The chosen one answers with a refusal: readable, no quote, no time.
        services[chosen].result = FetchOk;
        services[chosen].records.clear();
        services[chosen].dataTime.clear();
        const RefreshReport report = Refresh(settings);
        EXPECT_EQ(page.rfind(FetchErrorStart, 0), 0u) << page;
        EXPECT_FALSE(report.stale);
        EXPECT_FALSE(report.answered);
        EXPECT_EQ(report.result, FetchFailed);
        EXPECT_EQ(rows, 0);
        services[chosen] = TwoQuotes();
    }
}

TEST_F(PageSessionTest, ShownQuotesStayMarkedWhenTheChosenServiceRefusesAndTheOthersFail) {
    Refresh();
    AllFail();
    services[ProviderSina].result = FetchOk;
    services[ProviderSina].records.clear();
    services[ProviderSina].dataTime.clear();
    const RefreshReport report = Refresh();
    EXPECT_TRUE(report.stale);
    EXPECT_EQ(rows, 2);
    EXPECT_NE(page.find("2022-11-11 15:00:00" + Utf8ToGbk(" <font color=#009900>未更新</font>")),
              std::string::npos);
}

TEST_F(PageSessionTest, AnswersWithoutQuotesAreNeverKeptAsAStaleTable) {
    for (auto& [provider, service] : services) {
        service.records.clear();
    }
    RefreshReport report = Refresh();
    EXPECT_FALSE(report.answered);
    EXPECT_NE(page.find("<table"), std::string::npos);
    EXPECT_EQ(rows, 0);

    AllFail();
    report = Refresh();
    EXPECT_FALSE(report.stale);
    EXPECT_EQ(page.rfind(FetchErrorStart, 0), 0u) << page;
    EXPECT_EQ(page.find(Utf8ToGbk("未更新")), std::string::npos);
    EXPECT_EQ(rows, 0);
}

}  // namespace
}  // namespace vemo
