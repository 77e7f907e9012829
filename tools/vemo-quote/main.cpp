// vemo-quote: the watch list of VEMO's settings in a terminal, and checks for scripts.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "quotes/Gbk.h"
#include "quotes/HoldingsFile.h"
#include "quotes/MissingCodes.h"
#include "quotes/QuoteFailover.h"
#include "quotes/QuoteFetch.h"
#include "quotes/QuotePage.h"
#include "quotes/QuoteParsers.h"
#include "quotes/QuoteUrl.h"
#include "quotes/Suggest.h"
#include "settings/SettingsStore.h"
#include "tools/vemo-quote/TerminalTable.h"

namespace {

using namespace vemo;

constexpr char Usage[] =
    "usage: vemo-quote settings [DIR]\n"
    "       vemo-quote url [DIR]\n"
    "       vemo-quote symbol sina|netease|tencent SYMBOL\n"
    "       vemo-quote parse sina|netease|tencent FILE\n"
    "       vemo-quote page [DIR]\n"
    "       vemo-quote show [DIR] [--watch SECONDS] [--tsv]\n"
    "       vemo-quote find KEY [DIR]\n"
    "DIR is the folder that holds vemo.ini (default: the folder of this program, or the\n"
    "user's ~/.config/Quorvane/VemoMonitor when this program's folder is not writable).\n"
    "Holdings are read from holdings.ini in the per-user folder.\n";

// A response file larger than this is not a quote response.
constexpr std::uintmax_t MaxResponseFileBytes = 64u << 20;

int UsageError() {
    std::fputs(Usage, stderr);
    return 2;
}

// The settings folder named at args[at], or the program's folder; nullopt (after a message)
// when the name is no folder.
std::optional<SettingsFiles> FilesFor(const std::vector<std::string>& args, std::size_t at) {
    if (args.size() <= at) {
        return RunningProgramSettingsFiles();
    }
    std::error_code error;
    if (!std::filesystem::is_directory(args[at], error)) {
        std::fprintf(stderr, "vemo-quote: %s is not a folder\n", args[at].c_str());
        return std::nullopt;
    }
    return SettingsFilesFor(args[at]);
}

int PrintSettings(const SettingsFiles& files) {
    TickerSettings s = DefaultTickerSettings();
    const int complete = LoadSettings(s, files);
    WindowState state{};
    const int stateRead = LoadWindowState(state, files);
    std::printf("codeList=%s\n", FieldText(s.codeList).c_str());
    std::printf("provider=%d\n", s.provider);
    std::printf("refreshSeconds=%d\n", s.refreshSeconds);
    std::printf("hotKeyModifiers=%d\n", s.hotKeyModifiers);
    std::printf("hotKeyVirtualKey=%d\n", s.hotKeyVirtualKey);
    std::printf("backgroundColor=0x%08X\n", s.backgroundColor);
    std::printf("nameColor=0x%08X\n", s.nameColor);
    std::printf("upColor=0x%08X\n", s.upColor);
    std::printf("downColor=0x%08X\n", s.downColor);
    std::printf("headerColor=0x%08X\n", s.headerColor);
    std::printf("pageContent=0x%08X\n", s.pageContent);
    std::printf("optionFlags=0x%08X\n", s.optionFlags);
    std::printf("proxyServer=%s\n", FieldText(s.proxyServer).c_str());
    std::printf("proxyUser=%s\n", FieldText(s.proxyUser).c_str());
    std::printf("proxyPassword=%s\n", FieldText(s.proxyPassword).c_str());
    std::printf("proxyMode=%d\n", s.proxyMode);
    std::printf("fontSize=%d\n", s.fontSize);
    std::printf("savedVersion=%d\n", s.savedVersion);
    std::printf("complete=%d\n", complete);
    std::printf("transparent=%d\n", state.transparent);
    std::printf("windowRect=%d,%d,%d,%d\n", state.windowRect.left, state.windowRect.top,
                state.windowRect.right, state.windowRect.bottom);
    std::printf("windowStateRead=%d\n", stateRead);
    return 0;
}

int PrintUrl(const SettingsFiles& files) {
    TickerSettings s = DefaultTickerSettings();
    LoadSettings(s, files);
    std::string quoteUrl;
    BuildQuoteUrl(s, quoteUrl);
    std::printf("%s\n", quoteUrl.c_str());
    return 0;
}

int PrintSymbol(const std::string& provider, const std::string& symbol) {
    // Room for any symbol the back-mapping may see; longer ones stay as they are.
    std::vector<char> buffer(symbol.begin(), symbol.end());
    buffer.push_back('\0');
    if (provider == "sina") {
        SinaSymbolToCode(buffer.data());
    } else if (provider == "netease") {
        NetEaseSymbolToCode(buffer.data());
    } else if (provider == "tencent") {
        TencentSymbolToCode(buffer.data());
    } else {
        return UsageError();
    }
    std::printf("%s\n", buffer.data());
    return 0;
}

int ParseFile(const std::string& provider, const std::string& path) {
    if (provider != "sina" && provider != "netease" && provider != "tencent") {
        return UsageError();
    }
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error || size > MaxResponseFileBytes) {
        std::fprintf(stderr, "vemo-quote: cannot read %s: %s\n", path.c_str(),
                     error ? error.message().c_str() : "file too large");
        return 1;
    }
    std::ifstream in(path, std::ios::binary);
    std::string body((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in && !in.eof()) {
        std::fprintf(stderr, "vemo-quote: cannot read %s\n", path.c_str());
        return 1;
    }
    const std::vector<std::string> lines = SplitResponseLines(body);
    QuoteBatch batch;
    if (provider == "sina") {
        ParseSinaResponse(lines, batch);
    } else if (provider == "netease") {
        ParseNetEaseResponse(lines, batch);
    } else {
        ParseTencentResponse(lines, batch);
    }
    for (int i = 0; i < batch.count && i < MaxQuotes; ++i) {
        const QuoteRecord& r = *batch.records[i];
        const std::string name = TerminalProviderText(FieldText(r.name));
        std::printf("%s\t%s\t%.4f\t%.4f\t%.4f\t%.4f\t%.4f\t%d\t%.4f\n",
                    TerminalProviderText(FieldText(r.code)).c_str(), name.c_str(), r.price,
                    r.prevClose, r.open, r.high, r.low, r.volume, r.turnover);
    }
    std::printf("time\t%s\n", TerminalProviderText(FieldText(batch.dataTime)).c_str());
    std::printf("count\t%d\n", batch.count);
    return 0;
}

// The holdings of the per-user holdings.ini; values that do not read are named on standard
// error and count as no holding.
LoadedHoldings LoadUserHoldings() {
    const PerCodeFile file = HoldingsFile();
    LoadedHoldings loaded = LoadHoldings(file);
    if (!loaded.readable) {
        std::fprintf(stderr, "vemo-quote: %s: 无法读取\n", file.Path().c_str());
    }
    for (const HoldingProblem& problem : loaded.problems) {
        std::fprintf(stderr, "vemo-quote: %s\n", DescribeHoldingProblem(file.Path(), problem).c_str());
    }
    return loaded;
}

int PrintPage(const SettingsFiles& files) {
    TickerSettings s = DefaultTickerSettings();
    LoadSettings(s, files);
    std::string quoteUrl;
    BuildQuoteUrl(s, quoteUrl);
    const LoadedHoldings holdings = LoadUserHoldings();
    std::vector<char> page(PageBufferSize, '\0');
    int rows = 2;
    int cols = 3;
    // This tool makes no version check, so no upgrade is ever known to be required.
    const int result = RenderQuotePage(s, quoteUrl, false, page, rows, cols, NetworkFetchers(),
                                       nullptr, holdings.Shown());
    std::fwrite(page.data(), 1, strnlen(page.data(), page.size()), stdout);
    std::fflush(stdout);
    std::fprintf(stderr, "rows=%d cols=%d result=%d\n", rows, cols, result);
    return 0;
}

// One fetch and its table; false after a fetch error or when no code got a quote, which has
// been reported.
// With `tsv` the lines for scripts take the table's place; they carry the holdings whether or
// not the page shows them.
bool ShowOnce(const TickerSettings& s, const std::string& quoteUrl, bool colour,
              const LoadedHoldings& holdings, bool tsv) {
    if (strnlen(s.codeList, sizeof s.codeList) < 6) {
        std::printf("股票代码列表中无数据 请添加股票代码\n");
        return true;
    }
    QuoteBatch batch;
    const FailoverOutcome fetched = FetchWithFailover(s, quoteUrl, NetworkFetchers(), batch);
    if (fetched.result != FetchOk) {
        std::fprintf(stderr, "vemo-quote: 获得数据出错 请检查网络连接 (%s: %s)\n",
                     fetched.result == FetchBadUrl ? "bad request URL" : "request failed",
                     quoteUrl.c_str());
        return false;
    }
    // Codes the service does not know get no line in its answer: name them, or they vanish.
    const std::vector<std::string> missing = CodesWithoutQuote(s, batch);
    if (tsv) {
        std::fputs(FormatHoldingsTsv(batch, holdings.table).c_str(), stdout);
    } else {
        std::fputs(FormatTerminalTable(s, batch, colour, holdings.Shown()).c_str(), stdout);
    }
    if (!tsv && fetched.provider != SelectedProvider(s.provider)) {
        std::printf("(%s)\n", GbkToUtf8(ServiceName(fetched.provider)).c_str());
    }
    std::fflush(stdout);
    if (!missing.empty()) {
        std::fprintf(stderr, "没有行情: %s\n", JoinCodes(missing).c_str());
    }
    return fetched.answered;
}

// The securities whose name, pinyin initials or code match KEY, one "code name pinyin kind" line
// each; status 1 with one line on standard error when nothing matches or every service fails.
int Find(const std::string& key, const SettingsFiles& files) {
    if (key.empty() || key.size() > MaxLookupKeyBytes) {
        std::fprintf(stderr, "vemo-quote: KEY must have 1 to %zu bytes\n", MaxLookupKeyBytes);
        return 2;
    }
    TickerSettings s = DefaultTickerSettings();
    LoadSettings(s, files);
    const LookupOutcome outcome = LookUp(s, key);
    for (const SecurityMatch& match : outcome.matches) {
        std::printf("%s\t%s\t%s\t%s\n", match.code.c_str(), TerminalSafe(match.name).c_str(),
                    TerminalSafe(match.pinyin).c_str(), SecurityKindText(match.kind));
    }
    std::fflush(stdout);
    if (!outcome.matches.empty()) {
        return 0;
    }
    if (outcome.answered) {
        std::fprintf(stderr, "没有找到: %s\n", TerminalSafe(key).c_str());
        return 1;
    }
    std::string failures;
    for (const LookupAttempt& attempt : outcome.attempts) {
        failures += failures.empty() ? "" : "; ";
        failures +=
            GbkToUtf8(ServiceName(attempt.provider)) + ": " + LookupResultText(attempt.result);
    }
    std::fprintf(stderr, "vemo-quote: 查询出错 请检查网络连接 (%s)\n", failures.c_str());
    return 1;
}

int Show(const std::vector<std::string>& args) {
    std::vector<std::string> rest;
    long watchSeconds = 0;
    bool tsv = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--tsv") {
            tsv = true;
        } else if (args[i] == "--watch") {
            if (i + 1 >= args.size()) {
                return UsageError();
            }
            char* end = nullptr;
            watchSeconds = std::strtol(args[i + 1].c_str(), &end, 10);
            if (*end != '\0' || watchSeconds < 1 || watchSeconds > 86400) {
                return UsageError();
            }
            ++i;
        } else {
            rest.push_back(args[i]);
        }
    }
    if (rest.size() > 1) {
        return UsageError();
    }
    const std::optional<SettingsFiles> files = FilesFor(rest, 0);
    if (!files) {
        return 2;
    }
    TickerSettings s = DefaultTickerSettings();
    LoadSettings(s, *files);
    std::string quoteUrl;
    BuildQuoteUrl(s, quoteUrl);
    const bool colour = !tsv && isatty(STDOUT_FILENO) != 0;
    const LoadedHoldings holdings = LoadUserHoldings();
    if (watchSeconds == 0) {
        return ShowOnce(s, quoteUrl, colour, holdings, tsv) ? 0 : 1;
    }
    for (;;) {
        if (colour) {
            std::fputs("\033[H\033[2J", stdout);
        }
        ShowOnce(s, quoteUrl, colour, holdings, tsv);
        std::this_thread::sleep_for(std::chrono::seconds(watchSeconds));
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        return UsageError();
    }
    const CurlLibrary curl;
    const std::string& command = args[0];
    const bool folderCommand = command == "settings" || command == "url" || command == "page";
    if (folderCommand && args.size() <= 2) {
        const std::optional<SettingsFiles> files = FilesFor(args, 1);
        if (!files) {
            return 2;
        }
        return command == "settings" ? PrintSettings(*files)
               : command == "url"    ? PrintUrl(*files)
                                     : PrintPage(*files);
    }
    if (command == "symbol" && args.size() == 3) {
        return PrintSymbol(args[1], args[2]);
    }
    if (command == "parse" && args.size() == 3) {
        return ParseFile(args[1], args[2]);
    }
    if (command == "show") {
        return Show(args);
    }
    if (command == "find" && (args.size() == 2 || args.size() == 3)) {
        const std::optional<SettingsFiles> files = FilesFor(args, 2);
        return files ? Find(args[1], *files) : 2;
    }
    return UsageError();
}
