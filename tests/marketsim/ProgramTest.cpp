// The marketsim program: its first line, its answers and its end on SIGTERM.

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/marketsim/SimClient.h"

extern char** environ;

namespace vemo {
namespace {

using simtest::Direct;
using simtest::Fetch;

// A started marketsim with its standard output on a pipe; killed if a test fails early.
class Program {
  public:
    explicit Program(std::vector<std::string> args) {
        args.insert(args.begin(), MARKETSIM_PROGRAM);
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        int out[2];
        if (::pipe(out) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        out_ = out[0];
    }
    ~Program() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) {
            ::close(out_);
        }
    }

    // The first line of standard output, without its line feed; empty after `timeoutMs`.
    std::string FirstLine(int timeoutMs) {
        std::string line;
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (line.find('\n') == std::string::npos) {
            pollfd fds[1] = {{out_, POLLIN, 0}};
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            char chunk[256];
            if (left.count() <= 0 || ::poll(fds, 1, static_cast<int>(left.count())) <= 0) {
                return {};
            }
            const ssize_t got = ::read(out_, chunk, sizeof chunk);
            if (got <= 0) {
                return line;
            }
            line.append(chunk, static_cast<std::size_t>(got));
        }
        return line.substr(0, line.find('\n'));
    }

    // Exit status after a signal, or -1 when it does not end within `timeoutMs`.
    int StopWith(int signal, int timeoutMs) {
        ::kill(pid_, signal);
        return Wait(timeoutMs);
    }
    int Wait(int timeoutMs) {
        for (int waited = 0; waited < timeoutMs; waited += 10) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }

  private:
    pid_t pid_ = -1;
    int out_ = -1;
};

std::uint16_t PortOf(const std::string& line) {
    return static_cast<std::uint16_t>(std::stoi(line.substr(line.rfind(':') + 1)));
}

TEST(ProgramTest, PrintsItsAddressAnswersAndEndsOnSigterm) {
    Program program({"--port", "0", "--time", "2008-01-11 15:05:32", "--sina-old-form", "--hang",
                     "netease", "--close", "tencent", "--infover", "44", "--info", "公告"});
    const std::string line = program.FirstLine(5000);
    ASSERT_EQ(line.rfind("listening on 127.0.0.1:", 0), 0u) << line;
    const std::uint16_t port = PortOf(line);
    ASSERT_GT(port, 0);

    simtest::FetchOptions proxied;
    proxied.proxy = "127.0.0.1:" + std::to_string(port);
    const auto quotes = Fetch("http://hq.sinajs.cn/list=sh601006", proxied);
    EXPECT_EQ(quotes.status, 200);
    EXPECT_EQ(quotes.body.rfind("var hq_str_sh601006=\"" + std::string(simtest::DaqinGbk), 0), 0u);
    EXPECT_TRUE(quotes.body.ends_with(",2008-01-11,15:05:32\";\n"));
    EXPECT_EQ(Fetch(Direct(port, "/quorvane/vemo.php")).body,
              "[VEMO]\r\ninfoVer=44\r\ninfo=\xB9\xAB\xB8\xE6\r\n");
    EXPECT_EQ(Fetch("http://qt.gtimg.cn/q=sh601006", proxied).code, CURLE_GOT_NOTHING);
    EXPECT_EQ(Fetch(Direct(port, "/_sim/count")).body, "3\n");

    // A held connection does not keep the program from ending.
    simtest::RawConnection held(port);
    ASSERT_TRUE(held.Send("GET /?0600000 HTTP/1.1\r\nHost: x\r\n\r\n"));
    for (int i = 0; i < 100 && Fetch(Direct(port, "/_sim/count")).body != "4\n"; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(program.StopWith(SIGTERM, 2000), 0);
    EXPECT_TRUE(held.ClosedWithin(1000));
}

TEST(ProgramTest, RefusesBadOptionsAndATakenPort) {
    EXPECT_EQ(Program({"--port", "70000"}).Wait(5000), 2);
    EXPECT_EQ(Program({"--hang", "everything"}).Wait(5000), 2);
    EXPECT_EQ(Program({"--bogus"}).Wait(5000), 2);
    EXPECT_EQ(Program({"--fixed-lines", "/nonexistent/lines"}).Wait(5000), 2);

    Program first({});
    const std::string line = first.FirstLine(5000);
    ASSERT_FALSE(line.empty());
    Program second({"--port", std::to_string(PortOf(line))});
    EXPECT_EQ(second.Wait(5000), 1);
    EXPECT_EQ(first.StopWith(SIGINT, 2000), 0);
}

}  // namespace
}  // namespace vemo
