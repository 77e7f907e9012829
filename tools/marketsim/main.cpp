// marketsim: the market simulator as a program of its own, for shell-driven tests and the
// demo. It prints "listening on 127.0.0.1:PORT" as its first line and runs until SIGINT or
// SIGTERM.

#include <pthread.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/marketsim/HttpMessage.h"
#include "tools/marketsim/MarketSim.h"

namespace {

using vemo::MarketSimulator;
using vemo::SimBehaviour;
using vemo::SimFailure;
using vemo::SimService;

constexpr char Usage[] =
    "usage: marketsim [options]\n"
    "  --port N                  listen on 127.0.0.1:N (0, the default: any free port)\n"
    "  --seed N                  seed of the price walks\n"
    "  --time 'YYYY-MM-DD HH:MM:SS'  fixed time stamp instead of the clock\n"
    "  --frozen                  prices stand still\n"
    "  --sina-old-form           Sina lines without the trailing ,00,\n"
    "  --empty SYMBOL            empty entry for SYMBOL (sh600000); repeatable\n"
    "  --fixed-lines FILE        fixed response lines, GBK bytes\n"
    "  --fixed-lines-utf8 FILE   fixed response lines, UTF-8 text sent as GBK\n"
    "  --quotes FILE             fixed figures: symbol name prevclose open price high low\n"
    "                            volume amount, one security a line, UTF-8, # comments\n"
    "  --proxy-user U            demand these proxy credentials (with --proxy-password)\n"
    "  --proxy-password P\n"
    "  --delay SERVICE:MS        delay answers; SERVICE is all, sina, netease, tencent or\n"
    "                            maker\n"
    "  --trickle SERVICE:MS      send answers one byte every MS milliseconds\n"
    "  --hang SERVICE            never answer\n"
    "  --close SERVICE           close connections without an answer\n"
    "  --error SERVICE:STATUS[:BODY]  answer an HTTP error\n"
    "  --infover N | --no-infover   maker's answers: infoVer (default 43) or none\n"
    "  --info TEXT --infourl URL --update N --dlurl URL   further keys of both answers\n"
    "  --download PATH=FILE      serve FILE's bytes at PATH on the maker's host\n"
    "  --verbose                 print every request to standard error\n"
    "  --help\n";

bool TakesValue(const std::string& option) {
    static const char* const Options[] = {"--port",     "--seed",        "--time",
                                          "--empty",    "--fixed-lines", "--fixed-lines-utf8",
                                          "--quotes",   "--proxy-user",  "--proxy-password",
                                          "--delay",    "--error",       "--hang",
                                          "--close",    "--infover",     "--update",
                                          "--info",     "--infourl",     "--dlurl",
                                          "--download", "--trickle"};
    for (const char* known : Options) {
        if (option == known) {
            return true;
        }
    }
    return false;
}

int Fail(const std::string& message) {
    std::cerr << "marketsim: " << message << "\n" << Usage;
    return 2;
}

bool ReadFile(const std::string& path, std::string& bytes) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return false;
    }
    std::ostringstream content;
    content << file.rdbuf();
    bytes = content.str();
    return !file.bad();
}

constexpr SimService Services[] = {SimService::Sina, SimService::NetEase, SimService::Maker,
                                   SimService::Tencent};

// Applies a change to the behaviour of one service or of all of them.
template <typename Change>
void Modify(SimBehaviour (&behaviours)[std::size(Services)], SimService service, Change change) {
    for (std::size_t i = 0; i < std::size(Services); ++i) {
        if (service == SimService::All || service == Services[i]) {
            change(behaviours[i]);
        }
    }
}

// "symbol name prevclose open price high low volume amount" lines.
bool LoadQuotes(const std::string& path, MarketSimulator& simulator, std::string& error) {
    std::string text;
    if (!ReadFile(path, text)) {
        error = "cannot read " + path;
        return false;
    }
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        if (const auto hash = line.find('#'); hash != std::string::npos) {
            line.erase(hash);
        }
        std::istringstream fields(line);
        std::vector<std::string> f;
        for (std::string field; fields >> field;) {
            f.push_back(field);
        }
        if (f.empty()) {
            continue;
        }
        vemo::SimQuote quote;
        bool ok = f.size() == 9;
        if (ok) {
            quote.name = f[1];
            ok = vemo::sim::ParseDouble(f[2], quote.prevClose) &&
                 vemo::sim::ParseDouble(f[3], quote.open) &&
                 vemo::sim::ParseDouble(f[4], quote.price) &&
                 vemo::sim::ParseDouble(f[5], quote.high) &&
                 vemo::sim::ParseDouble(f[6], quote.low) &&
                 vemo::sim::ParseInt(f[7], quote.volume) &&
                 vemo::sim::ParseDouble(f[8], quote.amount) && simulator.SetQuote(f[0], quote) == 0;
        }
        if (!ok) {
            error = path + ":" + std::to_string(number) + ": expected symbol name prevclose " +
                    "open price high low volume amount";
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    MarketSimulator simulator;
    long long port = 0;
    SimBehaviour behaviours[std::size(Services)];
    vemo::SimMakerAnswer answer;
    std::string proxyUser;
    std::string proxyPassword;
    bool verbose = false;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string v;
        if (option == "--help" || option == "-h") {
            std::cout << Usage;
            return 0;
        } else if (option == "--frozen") {
            simulator.SetMoving(false);
        } else if (option == "--sina-old-form") {
            simulator.SetSinaOldForm(true);
        } else if (option == "--verbose") {
            verbose = true;
        } else if (option == "--no-infover") {
            answer.infoVer.reset();
        } else if (!TakesValue(option)) {
            return Fail("unknown option " + option);
        } else if (!value(v)) {
            return Fail(option + " needs a value");
        } else if (option == "--port") {
            if (!vemo::sim::ParseInt(v, port) || port < 0 || port > 65535) {
                return Fail("--port takes a number from 0 to 65535");
            }
        } else if (option == "--seed") {
            long long seed = 0;
            if (!vemo::sim::ParseInt(v, seed) || seed < 0) {
                return Fail("--seed takes a number that is not negative");
            }
            simulator.SetSeed(static_cast<std::uint64_t>(seed));
        } else if (option == "--time") {
            vemo::SimTime time;
            if (!vemo::ParseSimTime(v, time)) {
                return Fail("--time takes 'YYYY-MM-DD HH:MM:SS'");
            }
            simulator.SetTime(time);
        } else if (option == "--empty") {
            simulator.SetEmptyEntry(v, true);
        } else if (option == "--fixed-lines" || option == "--fixed-lines-utf8") {
            const int taken = simulator.LoadFixedLines(v, option == "--fixed-lines-utf8");
            if (taken == -2) {
                return Fail("cannot read " + v);
            }
            if (taken < 0) {
                return Fail(v + ": every line must begin with var hq_str_SYMBOL=, " +
                            "var quote_SYMBOL= or v_SYMBOL=");
            }
        } else if (option == "--quotes") {
            std::string error;
            if (!LoadQuotes(v, simulator, error)) {
                return Fail(error);
            }
        } else if (option == "--proxy-user") {
            proxyUser = v;
        } else if (option == "--proxy-password") {
            proxyPassword = v;
        } else if (option == "--trickle") {
            const auto colon = v.find(':');
            SimService service;
            long long ms = 0;
            if (colon == std::string::npos || !ParseSimService(v.substr(0, colon), service) ||
                !vemo::sim::ParseInt(v.substr(colon + 1), ms) || ms < 0 || ms > 60'000) {
                return Fail("--trickle takes SERVICE:MS, MS from 0 to 60000");
            }
            Modify(behaviours, service,
                   [&](SimBehaviour& b) { b.trickleMs = static_cast<int>(ms); });
        } else if (option == "--delay" || option == "--error") {
            const auto colon = v.find(':');
            SimService service;
            if (colon == std::string::npos || !ParseSimService(v.substr(0, colon), service)) {
                return Fail(option + " takes SERVICE:" + (option == "--delay" ? "MS" : "STATUS"));
            }
            const std::string rest = v.substr(colon + 1);
            if (option == "--delay") {
                long long ms = 0;
                if (!vemo::sim::ParseInt(rest, ms) || ms < 0 || ms > 3'600'000) {
                    return Fail("--delay takes milliseconds, 0 to 3600000");
                }
                Modify(behaviours, service,
                       [&](SimBehaviour& b) { b.delayMs = static_cast<int>(ms); });
            } else {
                const auto second = rest.find(':');
                long long status = 0;
                if (!vemo::sim::ParseInt(rest.substr(0, second), status) || status < 100 ||
                    status > 999) {
                    return Fail("--error takes a status from 100 to 999");
                }
                const std::string body =
                    second == std::string::npos ? std::string() : rest.substr(second + 1);
                Modify(behaviours, service, [&](SimBehaviour& b) {
                    b.failure = SimFailure::HttpError;
                    b.status = static_cast<int>(status);
                    b.body = body;
                });
            }
        } else if (option == "--hang" || option == "--close") {
            SimService service;
            if (!ParseSimService(v, service)) {
                return Fail(option + " takes all, sina, netease, tencent or maker");
            }
            const SimFailure failure = option == "--hang" ? SimFailure::Hang : SimFailure::Close;
            Modify(behaviours, service, [&](SimBehaviour& b) { b.failure = failure; });
        } else if (option == "--infover" || option == "--update") {
            long long number = 0;
            if (!vemo::sim::ParseInt(v, number)) {
                return Fail(option + " takes a number");
            }
            (option == "--infover" ? answer.infoVer : answer.update) = number;
        } else if (option == "--info") {
            answer.info = v;
        } else if (option == "--infourl") {
            answer.infourl = v;
        } else if (option == "--dlurl") {
            answer.dlurl = v;
        } else if (option == "--download") {
            const auto eq = v.find('=');
            std::string bytes;
            if (eq == std::string::npos || !v.starts_with("/")) {
                return Fail("--download takes /PATH=FILE");
            }
            if (!ReadFile(v.substr(eq + 1), bytes)) {
                return Fail("cannot read " + v.substr(eq + 1));
            }
            simulator.SetDownload(v.substr(0, eq), std::move(bytes));
        }
    }
    if (proxyUser.empty() && !proxyPassword.empty()) {
        return Fail("--proxy-password needs --proxy-user");
    }
    simulator.SetProxyCredentials(proxyUser, proxyPassword);
    for (std::size_t i = 0; i < std::size(Services); ++i) {
        simulator.SetBehaviour(Services[i], behaviours[i]);
    }
    simulator.SetMakerAnswer(vemo::SimMakerScript::Both, answer);
    if (verbose) {
        simulator.SetObserver([](const vemo::SimRequest& request) {
            const std::string line = request.method + " " + request.url + "\n";
            std::fwrite(line.data(), 1, line.size(), stderr);
        });
    }

    // The signals are taken by sigwait below; every thread started later inherits the mask.
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    if (const int result = simulator.Start(static_cast<std::uint16_t>(port)); result != 0) {
        std::cerr << "marketsim: cannot listen on 127.0.0.1:" << port << " (" << result
                  << (result == -2 ? ", port in use" : "") << ")\n";
        return 1;
    }
    std::printf("listening on 127.0.0.1:%u\n", static_cast<unsigned>(simulator.Port()));
    std::fflush(stdout);

    int received = 0;
    sigwait(&stopSignals, &received);
    simulator.Stop();
    return 0;
}
