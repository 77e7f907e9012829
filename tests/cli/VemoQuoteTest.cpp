#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "quotes/Gbk.h"
#include "quotes/QuotePage.h"
#include "quotes/QuoteUrl.h"
#include "settings/SettingsStore.h"
#include "tools/marketsim/MarketSim.h"
#include "tools/vemo-quote/TerminalTable.h"

extern char** environ;

namespace vemo {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs vemo-quote with the environment of the test plus `extra` (an empty value unsets).
Outcome RunVemoQuote(const std::vector<std::string>& args,
                     const std::map<std::string, std::string>& extra) {
    std::vector<std::string> envText;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        if (!extra.contains(name)) {
            envText.push_back(entry);
        }
    }
    for (const auto& [name, value] : extra) {
        if (!value.empty()) {
            envText.push_back(name + "=" + value);
        }
    }
    std::vector<char*> envp;
    for (std::string& e : envText) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    std::vector<std::string> argText = {VEMO_QUOTE_PROGRAM};
    argText.insert(argText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argText) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);

    int out[2];
    int err[2];
    Outcome outcome;
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
        return outcome;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    if (spawned != 0) {
        close(out[0]);
        close(err[0]);
        return outcome;
    }
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* sinks[2] = {&outcome.out, &outcome.err};
    int open = 2;
    while (open > 0 && poll(fds, 2, 20000) > 0) {
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP)) != 0) {
                char buffer[4096];
                const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
                if (n <= 0) {
                    close(fds[i].fd);
                    fds[i].fd = -1;
                    --open;
                } else {
                    sinks[i]->append(buffer, static_cast<std::size_t>(n));
                }
            }
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

class VemoQuoteTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/vemo-cli-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        env = {{"XDG_CONFIG_HOME", (dir / "config").string()},
               {"http_proxy", ""},
               {"HTTP_PROXY", ""},
               {"no_proxy", ""},
               {"NO_PROXY", ""}};
        files = {dir / "vemo.ini", dir / "config" / "Quorvane" / "VemoMonitor" / "registry"};
    }
    void TearDown() override { fs::remove_all(dir); }

    // Settings that reach the simulator through the explicit proxy.
    TickerSettings ProxySettings(const MarketSimulator& sim) {
        TickerSettings settings = DefaultTickerSettings();
        settings.proxyMode = 1;
        std::snprintf(settings.proxyServer, sizeof settings.proxyServer, "127.0.0.1:%u",
                      static_cast<unsigned>(sim.Port()));
        return settings;
    }

    Outcome Run(const std::vector<std::string>& args) { return RunVemoQuote(args, env); }

    fs::path dir;
    std::map<std::string, std::string> env;
    SettingsFiles files;
};

TEST_F(VemoQuoteTest, SettingsOfAFirstStartAndOfTheNext) {
    const Outcome first = Run({"settings", dir.string()});
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.out,
              "codeList=,1A0001,399001\nprovider=2\nrefreshSeconds=0\nhotKeyModifiers=1\n"
              "hotKeyVirtualKey=83\nbackgroundColor=0x00E6FFFF\nnameColor=0x00FF0000\n"
              "upColor=0x000000FF\ndownColor=0x00009900\nheaderColor=0x00000000\n"
              "pageContent=0x00000075\noptionFlags=0x0000000A\nproxyServer=\nproxyUser=\n"
              "proxyPassword=\nproxyMode=0\nfontSize=1\nsavedVersion=0\ncomplete=0\n"
              "transparent=0\nwindowRect=0,0,0,0\nwindowStateRead=0\n");
    const Outcome second = Run({"settings", dir.string()});
    EXPECT_NE(second.out.find("savedVersion=43\ncomplete=1\n"), std::string::npos);
    EXPECT_NE(second.out.find("windowStateRead=1\n"), std::string::npos);
}

TEST_F(VemoQuoteTest, SettingsTakeTheProxyOfTheEnvironmentOnce) {
    env["http_proxy"] = "http://user:pw@proxy.example:3128/";
    const Outcome outcome = Run({"settings", dir.string()});
    EXPECT_NE(outcome.out.find("proxyServer=proxy.example:3128\n"), std::string::npos);
    EXPECT_NE(outcome.out.find("proxyMode=1\n"), std::string::npos);
}

TEST_F(VemoQuoteTest, UrlOfStoredSettings) {
    TickerSettings settings = DefaultTickerSettings();
    std::strcpy(settings.codeList, ",300750,1B0003,000300,600000");
    settings.provider = ProviderNetEase;
    SaveSettings(settings, files);
    const Outcome outcome = Run({"url", dir.string()});
    EXPECT_EQ(outcome.out, "http://api.money.126.net/?1300750;0000006;0000300;0600000\n");
    EXPECT_EQ(outcome.status, 0);
    std::strcpy(settings.codeList, ",300750,1B0003,430047,920118,600000");
    settings.provider = ProviderTencent;
    SaveSettings(settings, files);
    EXPECT_EQ(Run({"url", dir.string()}).out,
              "http://qt.gtimg.cn/q=sz300750,sh000006,bj430047,bj920118,sh600000\n");
}

TEST_F(VemoQuoteTest, SymbolsAndWrongUsage) {
    EXPECT_EQ(Run({"symbol", "sina", "sh000003"}).out, "1A0003\n");
    EXPECT_EQ(Run({"symbol", "netease", "1300750"}).out, "300750\n");
    EXPECT_EQ(Run({"symbol", "tencent", "bj430047"}).out, "430047\n");
    EXPECT_EQ(Run({"symbol", "tencent", "sh000012"}).out, "1B0009\n");
    for (const auto& args :
         std::vector<std::vector<std::string>>{{},
                                               {"symbol", "yahoo", "x"},
                                               {"symbol", "sina"},
                                               {"frobnicate"},
                                               {"show", "--watch", "0"},
                                               {"settings", (dir / "missing").string()}}) {
        const Outcome outcome = Run(args);
        EXPECT_EQ(outcome.status, 2);
        EXPECT_TRUE(outcome.out.empty());
        EXPECT_FALSE(outcome.err.empty());
    }
}

TEST_F(VemoQuoteTest, ParseOfAResponseFile) {
    const std::string sina =
        "var hq_str_sh600000=\"" + Utf8ToGbk("浦发银行") +
        ",7.550,7.520,7.600,7.650,7.500,7.590,7.600,12345678,93876543.210,1,7.59,2,7.58,3,"
        "7.57,4,7.56,5,7.55,6,7.60,7,7.61,8,7.62,9,7.63,10,7.64,2022-11-11,15:00:00,00,\";\r\n"
        "var hq_str_sz000002=\"\";\r\n";
    std::ofstream(dir / "sina.txt", std::ios::binary) << sina;
    const Outcome outcome = Run({"parse", "sina", (dir / "sina.txt").string()});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out,
              "600000\t浦发银行\t7.6000\t7.5200\t7.5500\t7.6500\t7.5000\t123456\t9387.6543\n"
              "time\t2022-11-11 15:00:00\ncount\t1\n");
    EXPECT_NE(Run({"parse", "sina", (dir / "none.txt").string()}).status, 0);

    // The same quote from Tencent reads the same.
    const std::string tencent =
        "v_pv_none_match=\"1\";\nv_sh600000=\"1~" + Utf8ToGbk("浦发银行") +
        "~600000~7.600~7.520~7.550~123456~61728~61728~7.59~1~7.58~2~7.57~3~7.56~4~7.55~5~7.60~6~"
        "7.61~7~7.62~8~7.63~9~7.64~10~~20221111150000~0.08~1.06~7.650~7.500~"
        "7.60/123456/93876543~123456~9387.6543~0.06~5.12~~7.65~7.50~2.00~~~~8.27~6.77~\";\n";
    std::ofstream(dir / "tencent.txt", std::ios::binary) << tencent;
    EXPECT_EQ(Run({"parse", "tencent", (dir / "tencent.txt").string()}).out, outcome.out);
}

TEST_F(VemoQuoteTest, PageIsTheRenderersPageThroughTheProxy) {
    MarketSimulator sim;
    ASSERT_EQ(sim.Start(0), 0);
    sim.SetMoving(false);
    sim.SetTime(SimTime{2026, 12, 7, 10, 30, 0});
    TickerSettings settings = ProxySettings(sim);
    std::strcpy(settings.codeList, ",1A0001,600000,000002");
    settings.pageContent |= showCode | showChangeAmount;
    SaveSettings(settings, files);

    const Outcome outcome = Run({"page", dir.string()});
    ASSERT_EQ(outcome.status, 0);

    std::vector<char> expected(PageBufferSize, '\0');
    int rows = 2;
    int cols = 3;
    TickerSettings loaded = DefaultTickerSettings();
    LoadSettings(loaded, files);
    std::string quoteUrl;
    BuildQuoteUrl(loaded, quoteUrl);
    const int result = RenderQuotePage(loaded, quoteUrl, false, expected, rows, cols);
    EXPECT_EQ(outcome.out, std::string(expected.data()));
    EXPECT_EQ(outcome.err, "rows=3 cols=5 result=" + std::to_string(result) + "\n");
    EXPECT_NE(outcome.out.find(Utf8ToGbk("浦发银行")), std::string::npos);
    EXPECT_EQ(sim.Requests().front().url, "http://hq.sinajs.cn/list=sh000001,sh600000,sz000002");
}

TEST_F(VemoQuoteTest, PageOfOneRefreshFailsOverToTheNextService) {
    MarketSimulator sim;
    ASSERT_EQ(sim.Start(0), 0);
    sim.SetMoving(false);
    sim.SetTime(SimTime{2026, 12, 7, 10, 30, 0});
    SimBehaviour refused;
    refused.failure = SimFailure::HttpError;
    refused.status = 403;
    refused.body = "Kinsoku jikou desu!";
    sim.SetBehaviour(SimService::Sina, refused);
    TickerSettings settings = ProxySettings(sim);
    std::strcpy(settings.codeList, ",600000,000002");
    SaveSettings(settings, files);

    const Outcome outcome = Run({"page", dir.string()});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_NE(outcome.out.find(Utf8ToGbk("2026-12-07 10:30:00 腾讯</td>")), std::string::npos);
    EXPECT_NE(outcome.err.find("rows=2 "), std::string::npos);
    const std::vector<SimRequest> requests = sim.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].url, "http://hq.sinajs.cn/list=sh600000,sz000002");
    EXPECT_EQ(requests[1].url, "http://qt.gtimg.cn/q=sh600000,sz000002");

    // The terminal view asks the same way and says who answered.
    const Outcome shown = Run({"show", dir.string()});
    EXPECT_EQ(shown.status, 0);
    EXPECT_NE(shown.out.find("浦发银行"), std::string::npos);
    EXPECT_NE(shown.out.find("(腾讯)\n"), std::string::npos);
}

TEST_F(VemoQuoteTest, PageIsTheErrorPageWhenNoServiceGivesAQuote) {
    MarketSimulator sim;
    ASSERT_EQ(sim.Start(0), 0);
    sim.SetTime(SimTime{2026, 12, 7, 10, 30, 0});
    const std::string errorPage = Utf8ToGbk(
        "<html><style>body{border:0; font-size:12px;}</style><body scroll=no bgcolor=#FFFFE6>"
        "<font color=#FF0000>获得数据出错 请检查网络连接</font></body></html>");
    struct Refusal {
        const char* what;
        int status;
        const char* body;
    };
    const Refusal refusals[] = {{"403 with its refusal", 403, "Kinsoku jikou desu!"},
                                {"empty answer", 200, ""}};
    const std::pair<int, SimService> chosen[] = {{ProviderSina, SimService::Sina},
                                                 {ProviderNetEase, SimService::NetEase},
                                                 {ProviderTencent, SimService::Tencent}};
    SimBehaviour closed;
    closed.failure = SimFailure::Close;
    for (const auto& [provider, service] : chosen) {
        for (const Refusal& refusal : refusals) {
            SCOPED_TRACE(testing::Message() << "provider " << provider << ", " << refusal.what);
            sim.SetBehaviour(SimService::All, closed);
            SimBehaviour refused;
            refused.failure = SimFailure::HttpError;
            refused.status = refusal.status;
            refused.body = refusal.body;
            sim.SetBehaviour(service, refused);
            sim.ClearRequests();
            TickerSettings settings = ProxySettings(sim);
            std::strcpy(settings.codeList, ",600000,000002");
            settings.provider = provider;
            SaveSettings(settings, files);

            const Outcome outcome = Run({"page", dir.string()});
            EXPECT_EQ(outcome.status, 0);
            EXPECT_EQ(outcome.out, errorPage);
            EXPECT_EQ(outcome.err, "rows=0 cols=3 result=-2\n");
            EXPECT_EQ(sim.Requests().size(), 3u);
        }
    }
}

TEST_F(VemoQuoteTest, ShowPrintsTheTableOrOneLineOnFailure) {
    MarketSimulator sim;
    ASSERT_EQ(sim.Start(0), 0);
    sim.SetTime(SimTime{2026, 12, 7, 10, 30, 0});
    TickerSettings settings = ProxySettings(sim);
    std::strcpy(settings.codeList, ",600000,399006");
    settings.provider = ProviderNetEase;
    SaveSettings(settings, files);
    const Outcome shown = Run({"show", dir.string()});
    EXPECT_EQ(shown.status, 0);
    EXPECT_EQ(shown.out.find("\033["), std::string::npos);  // no colours into a pipe
    EXPECT_NE(shown.out.find("简称"), std::string::npos);
    EXPECT_NE(shown.out.find("浦发银行"), std::string::npos);
    EXPECT_NE(shown.out.find("创业板指"), std::string::npos);
    EXPECT_NE(shown.out.find("2026-12-07 10:30:00\n"), std::string::npos);

    sim.Stop();
    const Outcome failed = Run({"show", dir.string()});
    EXPECT_EQ(failed.status, 1);
    EXPECT_TRUE(failed.out.empty());
    EXPECT_EQ(std::count(failed.err.begin(), failed.err.end(), '\n'), 1);
}

TEST_F(VemoQuoteTest, ShowNamesTheCodesThatGotNoQuote) {
    MarketSimulator sim;
    ASSERT_EQ(sim.Start(0), 0);
    sim.SetTime(SimTime{2026, 12, 7, 10, 30, 0});
    TickerSettings settings = ProxySettings(sim);
    struct Case {
        int provider;
        const char* some;  // two known codes among unknown ones
        const char* none;  // unknown codes only
        const char* missing;
    };
    const Case cases[] = {
        {ProviderSina, ",600000,ABCDEF,9999999,1A0001", ",ABCDEF,9999999",
         "没有行情: ABCDEF, 9999999\n"},
        {ProviderNetEase, ",600000,999999,1A0001,399999", ",999999,399999",
         "没有行情: 999999, 399999\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.some);
        settings.provider = c.provider;
        std::strcpy(settings.codeList, c.some);
        SaveSettings(settings, files);
        const Outcome some = Run({"show", dir.string()});
        EXPECT_EQ(some.status, 0);
        EXPECT_NE(some.out.find("浦发银行"), std::string::npos);
        EXPECT_NE(some.out.find("上证指数"), std::string::npos);
        EXPECT_EQ(some.err, c.missing);

        // Not one quote: a failure.
        std::strcpy(settings.codeList, c.none);
        SaveSettings(settings, files);
        const Outcome none = Run({"show", dir.string()});
        EXPECT_EQ(none.status, 1);
        EXPECT_EQ(none.err, c.missing);
    }
}

// Escape sequences that clear the screen, hide text, retitle the terminal or reset it.
constexpr char HostileName[] = "\x1b[2J\x1b[8m";
constexpr char HostileTime[] =
    "\x1b]0;x\x07\x1b"
    "c\x7f";

bool HasControlCharacters(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && byte != '\n' && byte != '\t') || byte == 0x7F;
    });
}

TEST(TerminalTextTest, ControlCharactersOfProviderTextArePrintedAsQuestionMarks) {
    // C0, DEL and C1 (U+009B is a one-character CSI); U+00A0 and Chinese stay.
    EXPECT_EQ(TerminalSafe("a\x1b[2Jb\x07\x7f\xC2\x9B"
                           "1m\xC2\x80\xC2\xA0中"),
              "a?[2Jb???1m?\xC2\xA0中");
    EXPECT_EQ(TerminalProviderText("\x1b" + Utf8ToGbk("浦发") + "\x9b"), "?浦发\xEF\xBF\xBD");

    TickerSettings settings = DefaultTickerSettings();
    settings.pageContent |= showCode;
    QuoteBatch batch;
    batch.records[0] = std::make_unique<QuoteRecord>();
    std::strcpy(batch.records[0]->name, HostileName);
    std::strcpy(batch.records[0]->code, "\x1b[5m6");
    batch.count = 1;
    std::strcpy(batch.dataTime, HostileTime);
    const std::string table = FormatTerminalTable(settings, batch, false);
    EXPECT_FALSE(HasControlCharacters(table)) << table;
    EXPECT_NE(table.find("?[5m6"), std::string::npos) << table;
    EXPECT_NE(table.find("?[2J?[8m"), std::string::npos) << table;
    EXPECT_TRUE(table.ends_with("\n?]0;x??c?\n")) << table;
}

TEST_F(VemoQuoteTest, ShowAndParseNeverPrintTheAnswersControlCharacters) {
    MarketSimulator sim;
    ASSERT_EQ(sim.Start(0), 0);
    const std::string sina = std::string("var hq_str_sh600000=\"") + HostileName +
                             ",7.55,7.52,7.60,7.65,7.50,7.59,7.60,100,2000,2022-11-11," +
                             HostileTime + "\";";
    const std::string netEase = std::string("var quote_0600000='0600000;") + HostileName +
                                ";7.52;7.55;2000;100;0;0;7.65;7.50;7.60;" + HostileTime +
                                "';QuoteData.show_quote();";
    ASSERT_EQ(sim.SetFixedLines(sina + "\n" + netEase + "\n"), 2);
    TickerSettings settings = ProxySettings(sim);
    std::strcpy(settings.codeList, ",600000");
    for (const int provider : {ProviderSina, ProviderNetEase}) {
        SCOPED_TRACE(provider);
        settings.provider = provider;
        SaveSettings(settings, files);
        const Outcome shown = Run({"show", dir.string()});
        EXPECT_EQ(shown.status, 0);
        EXPECT_FALSE(HasControlCharacters(shown.out)) << shown.out;
        EXPECT_NE(shown.out.find("?[2J?[8m"), std::string::npos) << shown.out;
    }
    std::ofstream(dir / "sina.txt", std::ios::binary) << sina;
    const Outcome parsed = Run({"parse", "sina", (dir / "sina.txt").string()});
    EXPECT_EQ(parsed.status, 0);
    EXPECT_FALSE(HasControlCharacters(parsed.out)) << parsed.out;
    EXPECT_NE(parsed.out.find("600000\t?[2J?[8m\t7.6000"), std::string::npos) << parsed.out;
}

// A Sina answer line with the prices written as given (GBK name).
std::string FixedSinaLine(const std::string& symbol, const char* nameUtf8, const std::string& prevClose,
                          const std::string& price) {
    std::string line = "var hq_str_" + symbol + "=\"" + Utf8ToGbk(nameUtf8) + "," + prevClose + "," +
                       prevClose + "," + price + "," + price + "," + price + ",0,0,100,1000";
    for (int i = 0; i < 20; ++i) {
        line += ",0";
    }
    return line + ",2026-12-07,10:30:00,00,\";";
}

class VemoQuoteHoldingsTest : public VemoQuoteTest {
  protected:
    void SetUp() override {
        VemoQuoteTest::SetUp();
        ASSERT_EQ(sim.Start(0), 0);
        // 10.23 cannot be held by a float; 万科 has no price yet today.
        ASSERT_EQ(sim.SetFixedLines(FixedSinaLine("sh600000", "浦发银行", "10.00", "10.23") + "\n" +
                                    FixedSinaLine("sz000002", "万科Ａ", "9.75", "0.00") + "\n" +
                                    FixedSinaLine("sh000001", "上证指数", "3201.000", "3200.100") +
                                    "\n"),
                  3);
        TickerSettings settings = ProxySettings(sim);
        std::strcpy(settings.codeList, ",600000,000002,1A0001");
        SaveSettings(settings, files);
        holdingsFile = dir / "config" / "Quorvane" / "VemoMonitor" / "holdings.ini";
        fs::create_directories(holdingsFile.parent_path());
    }

    void WriteHoldings(const std::string& text) {
        std::ofstream(holdingsFile, std::ios::binary | std::ios::trunc) << text;
    }

    MarketSimulator sim;
    fs::path holdingsFile;
};

constexpr char Holdings[] =
    "[600000]\nshares=1000000\ncost=9.999\n"
    "[000002]\nshares=200\ncost=10\n"
    "[399001]\nshares=abc\ncost=1\n";

TEST_F(VemoQuoteHoldingsTest, TsvLinesCarryEveryFigureToTheFen) {
    WriteHoldings(Holdings);
    const Outcome shown = Run({"show", dir.string(), "--tsv"});
    EXPECT_EQ(shown.status, 0);
    EXPECT_EQ(shown.out,
              "600000\t浦发银行\t10.23\t10.00\t+0.23\t+2.30%\t1000000\t9.999\t10230000.00\t"
              "230000.00\t231000.00\t+2.31%\n"
              "000002\t万科Ａ\t0.00\t9.75\t0.00\t0.00%\t200\t10.00\t1950.00\t0.00\t-50.00\t-2.50%\n"
              "1A0001\t上证指数\t3200.10\t3201.00\t-0.90\t-0.03%\t\t\t\t\t\t\n"
              // 230000 of 10001950 yesterday; 230950 of 10001000 paid.
              "合计\t\t\t\t\t+2.30%\t\t\t10231950.00\t230000.00\t230950.00\t+2.31%\n");
    // The bad value is named, once.
    EXPECT_EQ(shown.err,
              "vemo-quote: " + holdingsFile.string() +
                  ": [399001] shares=abc: 持仓输入不正确, 该代码的持仓不计\n");

    // The switch that hides the columns does not empty the lines for scripts.
    WriteHoldings(std::string("[VEMO]\nshowProfit=0\n") + Holdings);
    EXPECT_EQ(Run({"show", dir.string(), "--tsv"}).out, shown.out);
}

TEST_F(VemoQuoteHoldingsTest, TsvWithoutHoldingsHasEmptyFieldsAndZeroSums) {
    const Outcome shown = Run({"show", dir.string(), "--tsv"});
    EXPECT_EQ(shown.status, 0);
    EXPECT_TRUE(shown.err.empty()) << shown.err;
    EXPECT_NE(shown.out.find("600000\t浦发银行\t10.23\t10.00\t+0.23\t+2.30%\t\t\t\t\t\t\n"),
              std::string::npos);
    EXPECT_TRUE(shown.out.ends_with("合计\t\t\t\t\t--\t\t\t0.00\t0.00\t0.00\t--\n")) << shown.out;
}

TEST_F(VemoQuoteHoldingsTest, PageAndTableShowTheHoldingsAsTheWindowDoes) {
    const Outcome plain = Run({"page", dir.string()});
    EXPECT_EQ(plain.err.substr(0, 14), "rows=3 cols=3 ");
    WriteHoldings(Holdings);
    const Outcome page = Run({"page", dir.string()});
    EXPECT_EQ(page.status, 0);

    // The renderer's own page for the same settings and holdings.
    TickerSettings loaded = DefaultTickerSettings();
    LoadSettings(loaded, files);
    std::string quoteUrl;
    BuildQuoteUrl(loaded, quoteUrl);
    HoldingTable holdings;
    holdings.Set("600000", Holding{1'000'000, 9'999'000});
    holdings.Set("000002", Holding{200, 10'000'000});
    std::vector<char> expected(PageBufferSize, '\0');
    int rows = 2;
    int cols = 3;
    RenderQuotePage(loaded, quoteUrl, false, expected, rows, cols, NetworkFetchers(), nullptr,
                    &holdings);
    EXPECT_EQ(page.out, std::string(expected.data()));
    EXPECT_NE(page.out.find(Utf8ToGbk("<td class=\"cup\" nowrap>+230000.00</td><td class=\"cup\" nowrap>"
                                      "+231000.00</td>")),
              std::string::npos);
    EXPECT_NE(page.err.find("rows=4 cols=7 "), std::string::npos) << page.err;

    const Outcome table = Run({"show", dir.string()});
    EXPECT_NE(table.out.find("当日盈亏"), std::string::npos) << table.out << table.err;
    EXPECT_NE(table.out.find("+230000.00  +231000.00\n"), std::string::npos) << table.out;
    EXPECT_NE(table.out.find("合计"), std::string::npos) << table.out;

    // Switched off: the page and the table are as without holdings.
    WriteHoldings(std::string("[VEMO]\nshowProfit=0\n") + Holdings);
    const Outcome hidden = Run({"page", dir.string()});
    EXPECT_EQ(hidden.out, plain.out);
    EXPECT_EQ(Run({"show", dir.string()}).out.find("合计"), std::string::npos);
}

}  // namespace
}  // namespace vemo

namespace vemo {
namespace {

class VemoQuoteFindTest : public VemoQuoteTest {
  protected:
    void SetUp() override {
        VemoQuoteTest::SetUp();
        ASSERT_EQ(sim.Start(0), 0);
        SaveSettings(ProxySettings(sim), files);
    }

    // A service that answers 200 with these bytes.
    void Answer(SimService service, const std::string& body) {
        SimBehaviour fixed;
        fixed.failure = SimFailure::HttpError;
        fixed.status = 200;
        fixed.body = body;
        sim.SetBehaviour(service, fixed);
    }

    MarketSimulator sim;
};

TEST_F(VemoQuoteFindTest, PrintsOneLinePerMatchOrSaysNothingWasFound) {
    Outcome found = Run({"find", "平安", dir.string()});
    EXPECT_EQ(found.status, 0);
    EXPECT_EQ(found.out, "601318\t中国平安\t\t股票\n000001\t平安银行\t\t股票\n");
    EXPECT_EQ(found.err, "");
    ASSERT_EQ(sim.Requests().size(), 1u);
    EXPECT_EQ(sim.Requests()[0].url,
              "http://suggest3.sinajs.cn/suggest/type=11,12,15,21,22,23,24,25,26&key="
              "%E5%B9%B3%E5%AE%89");

    EXPECT_EQ(Run({"find", "szzs", dir.string()}).out, "1A0001\t上证指数\t\t指数\n");
    // Only Tencent has the Beijing exchange, and it gives the initials.
    EXPECT_EQ(Run({"find", "nsld", dir.string()}).out, "430047\t诺思兰德\tnsld\t股票\n");

    // 上证50 would come back as the Shenzhen 000016: neither service has anything to show.
    const Outcome none = Run({"find", "sz50", dir.string()});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err, "没有找到: sz50\n");

    EXPECT_EQ(Run({"find", "", dir.string()}).status, 2);
    EXPECT_EQ(Run({"find"}).status, 2);
}

TEST_F(VemoQuoteFindTest, EveryServiceFailingIsOneLineNamingEach) {
    Answer(SimService::Sina, "<html>busy</html>");
    SimBehaviour hang;
    hang.failure = SimFailure::Close;
    sim.SetBehaviour(SimService::Tencent, hang);
    const Outcome failed = Run({"find", "pfyh", dir.string()});
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.out, "");
    EXPECT_EQ(std::count(failed.err.begin(), failed.err.end(), '\n'), 1);
    const auto sina = failed.err.find("新浪: not a look-up answer");
    const auto tencent = failed.err.find("腾讯: request failed");
    EXPECT_NE(sina, std::string::npos) << failed.err;
    EXPECT_NE(tencent, std::string::npos) << failed.err;
    EXPECT_LT(sina, tencent);
}

TEST_F(VemoQuoteFindTest, HostileAnswersReachTheTerminalDefused) {
    Answer(SimService::Sina,
           Utf8ToGbk("var suggestvalue=\"x,11,600000,sh600000,浦发\x1b]0:owned\x07\t\x9b"
                     "2J,,,99,1,,;y,11,600000,sh600000,again,,,;"
                     "z,31,00700,hk00700,腾讯控股,,,\";"));
    Outcome outcome = Run({"find", "x", dir.string()});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, "600000\t浦发?]0:owned???2J\t\t股票\n");

    Answer(SimService::Sina, "var suggestvalue=\"\";");
    Answer(SimService::Tencent,
           "v_hint=\"sz~000001~\\u5e73\\u5b89\\u000a\\u0009~p\\u001by~GP-A^sh~000016~x~sz50~ZS\"");
    outcome = Run({"find", "x", dir.string()});
    EXPECT_EQ(outcome.out, "000001\t平安??\tp?y\t股票\n");
}

}  // namespace
}  // namespace vemo
