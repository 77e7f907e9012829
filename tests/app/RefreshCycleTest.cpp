#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/RefreshCycle.h"

namespace vemo {
namespace {

// A host with a clock that moves only when the cycle sleeps.
class FakeHost : public RefreshHost {
  public:
    FakeHost() {
        settings = DefaultTickerSettings();
        // Monday 10:00.
        now.tm_year = 126;
        now.tm_mon = 11;
        now.tm_mday = 7;
        now.tm_wday = 1;
        now.tm_hour = 10;
    }

    bool Sleep(std::chrono::milliseconds duration) override {
        sleptMs += duration.count();
        ++sleeps;
        if (onSleep) {
            onSleep(sleeps);
        }
        return running;
    }
    bool Running() override { return running; }
    std::tm LocalNow() override { return now; }
    bool WindowVisible() override { return visible; }
    TickerSettings Settings() override {
        ++settingsReads;
        if (onSettings) {
            onSettings(settingsReads);
        }
        return settings;
    }
    void ApplyWindowSettings(const TickerSettings& given) override {
        events.push_back("apply");
        applied.push_back(given.codeList);
        if (onApply) {
            onApply();
        }
    }
    void ShowLoadingIndicator() override { events.push_back("loading"); }
    RefreshReport Render(const TickerSettings& given, std::span<char> page, int& rows,
                         int& cols) override {
        events.push_back("render");
        rendered.push_back(given.codeList);
        ++renders;
        EXPECT_EQ(rows, 2);
        EXPECT_EQ(cols, 3);
        EXPECT_EQ(page.size(), 102400u);
        EXPECT_EQ(page[0], '\0');  // cleared before every render
        std::memcpy(page.data(), "<html>page</html>", 17);
        if (onRender) {
            onRender();
        }
        rows = tableRows;
        cols = tableCols;
        return report;
    }
    void FitWindowToTable(const TickerSettings& given, int rows, int cols) override {
        events.push_back("fit " + std::to_string(rows) + "x" + std::to_string(cols));
        fitted.push_back(given.codeList);
    }
    void Publish(std::string_view page) override {
        events.push_back("publish");
        published = std::string(page);
    }

    TickerSettings settings;
    std::tm now{};
    bool visible = true;
    bool running = true;
    long sleptMs = 0;
    int sleeps = 0;
    int renders = 0;
    int tableRows = 2;
    int tableCols = 3;
    int settingsReads = 0;
    std::function<void(int)> onSleep;
    // Called at each read of the settings, with the number of reads so far: the interface
    // thread replacing the record just then.
    std::function<void(int)> onSettings;
    std::function<void()> onApply;
    std::function<void()> onRender;
    // The code list of the record each call was given.
    std::vector<std::string> applied;
    std::vector<std::string> rendered;
    std::vector<std::string> fitted;
    RefreshReport report;
    std::vector<std::string> events;
    std::string published;
};

class RefreshCycleTest : public ::testing::Test {
  protected:
    // Runs the first turn (settingsChanged at start) and forgets its events.
    void Started() {
        ASSERT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Rendered);
        host.events.clear();
        host.sleptMs = 0;
        host.sleeps = 0;
    }

    FakeHost host;
    RefreshCycle cycle{host};
};

TEST_F(RefreshCycleTest, FirstTurnRendersAtOnceEvenOnSunday) {
    host.now.tm_wday = 0;
    host.now.tm_hour = 3;
    host.visible = false;
    EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Rendered);
    EXPECT_EQ(host.sleptMs, 0);
    EXPECT_EQ(host.events,
              (std::vector<std::string>{"apply", "loading", "render", "fit 2x3", "publish"}));
    EXPECT_EQ(host.published, "<html>page</html>");
    EXPECT_EQ(cycle.refreshState.load(), idle);
}

TEST_F(RefreshCycleTest, PeriodBelowTenSecondsWaitsAnHour) {
    EXPECT_EQ(RefreshCycle::PeriodSeconds(0), 3600);
    EXPECT_EQ(RefreshCycle::PeriodSeconds(9), 3600);
    EXPECT_EQ(RefreshCycle::PeriodSeconds(-30), 3600);
    EXPECT_EQ(RefreshCycle::PeriodSeconds(10), 10);
    EXPECT_EQ(RefreshCycle::PeriodSeconds(300), 300);

    Started();
    host.settings.refreshSeconds = 0;
    EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Rendered);
    EXPECT_EQ(host.sleptMs, 3600 * 1000);
}

TEST_F(RefreshCycleTest, TimedRefreshRunsOnlyInTradingHours) {
    host.settings.refreshSeconds = 10;
    Started();
    struct Case {
        int wday;
        int hour;
        int minute;
        bool runs;
    };
    const Case cases[] = {
        {1, 8, 59, false}, {1, 9, 0, true},   {3, 15, 59, true},
        {5, 16, 0, false}, {6, 10, 0, false}, {0, 10, 0, false},
    };
    for (const Case& c : cases) {
        host.now.tm_wday = c.wday;
        host.now.tm_hour = c.hour;
        host.now.tm_min = c.minute;
        const int before = host.renders;
        const auto outcome = cycle.RunOnce();
        EXPECT_EQ(outcome,
                  c.runs ? RefreshCycle::Outcome::Rendered : RefreshCycle::Outcome::Skipped)
            << "weekday " << c.wday << " " << c.hour << ":" << c.minute;
        EXPECT_EQ(host.renders - before, c.runs ? 1 : 0);
    }
    // A plain timed refresh shows no loading indicator.
    for (const std::string& event : host.events) {
        EXPECT_NE(event, "loading");
    }
}

TEST_F(RefreshCycleTest, HiddenWindowSkipsTimedRefreshButNotRequests) {
    host.settings.refreshSeconds = 10;
    Started();
    host.visible = false;
    EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Skipped);
    // A skipped turn does not reset the seconds since the last render.
    EXPECT_EQ(cycle.secondsSinceRefresh.load(), 10u);
    cycle.refreshState = refreshRequested;
    EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Rendered);
    EXPECT_EQ(host.events, (std::vector<std::string>{"loading", "render", "publish"}));
    EXPECT_EQ(cycle.secondsSinceRefresh.load(), 0u);
}

TEST_F(RefreshCycleTest, ManualRequestWithinFiveSecondsIsDropped) {
    Started();  // rendered just now; an hour's period
    host.onSleep = [&](int sleeps) {
        if (sleeps == 3) {
            cycle.refreshState = refreshRequested;  // 3 s after the render: dropped
        }
        if (sleeps == 20) {
            cycle.refreshState = refreshRequested;  // 20 s after: honoured
        }
    };
    EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Rendered);
    EXPECT_EQ(host.renders, 2);
    EXPECT_EQ(host.sleeps, 20);
}

TEST_F(RefreshCycleTest, RequestExactlyFiveSecondsAfterRenderIsHonoured) {
    Started();
    host.onSleep = [&](int sleeps) {
        if (sleeps == 5) {
            cycle.refreshState = refreshRequested;
        }
    };
    EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Rendered);
    EXPECT_EQ(host.sleeps, 5);
}

TEST_F(RefreshCycleTest, FitsOnlyWhenTheTableChangesOrSettingsChanged) {
    host.settings.refreshSeconds = 10;
    Started();
    cycle.RunOnce();  // same 2 x 3 table: no fit
    EXPECT_EQ(host.events, (std::vector<std::string>{"render", "publish"}));

    host.events.clear();
    host.tableRows = 5;
    cycle.RunOnce();
    EXPECT_EQ(host.events, (std::vector<std::string>{"render", "fit 5x3", "publish"}));

    // A column shown or hidden, with the same rows.
    host.events.clear();
    host.tableCols = 4;
    cycle.RunOnce();
    EXPECT_EQ(host.events, (std::vector<std::string>{"render", "fit 5x4", "publish"}));

    host.events.clear();
    cycle.refreshState = settingsChanged;
    cycle.RunOnce();
    EXPECT_EQ(host.events,
              (std::vector<std::string>{"apply", "loading", "render", "fit 5x4", "publish"}));
}

TEST_F(RefreshCycleTest, SettingsChangeDuringRenderIsKept) {
    Started();
    host.onRender = [&] { cycle.refreshState = settingsChanged; };
    cycle.refreshState = settingsChanged;
    cycle.RunOnce();
    EXPECT_EQ(cycle.refreshState.load(), settingsChanged);
    host.onRender = nullptr;
    host.events.clear();
    host.sleeps = 0;
    EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Rendered);
    EXPECT_EQ(host.sleeps, 0);
    EXPECT_EQ(host.events.front(), "apply");
}

TEST_F(RefreshCycleTest, RequestDuringRenderIsKeptForTheNextTurn) {
    Started();
    host.onRender = [&] { cycle.refreshState = refreshRequested; };
    cycle.refreshState = settingsChanged;
    cycle.RunOnce();
    EXPECT_EQ(cycle.refreshState.load(), refreshRequested);
}

// The options dialog's OK replaces the record and then sets settingsChanged, from the interface
// thread, at any moment of a turn.
void ReplaceCodeList(FakeHost& host, RefreshCycle& cycle, const char* codeList) {
    std::snprintf(host.settings.codeList, sizeof host.settings.codeList, "%s", codeList);
    cycle.refreshState = settingsChanged;
}

TEST_F(RefreshCycleTest, OneRecordServesTheWindowSettingsTheRenderAndTheFit) {
    // Every read finds another record.
    host.onSettings = [&](int reads) {
        std::snprintf(host.settings.codeList, sizeof host.settings.codeList, ",60000%d", reads);
    };
    EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Rendered);
    ASSERT_EQ(host.applied.size(), 1u);
    ASSERT_EQ(host.rendered.size(), 1u);
    ASSERT_EQ(host.fitted.size(), 1u);
    EXPECT_EQ(host.rendered[0], host.applied[0]);
    EXPECT_EQ(host.fitted[0], host.applied[0]);
}

TEST_F(RefreshCycleTest, SettingsReplacedWhileTheyAreAppliedWaitForTheNextTurn) {
    host.onApply = [&] {
        host.onApply = nullptr;
        ReplaceCodeList(host, cycle, ",600000");
    };
    EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Rendered);
    EXPECT_EQ(host.rendered, (std::vector<std::string>{",1A0001,399001"}));
    EXPECT_EQ(cycle.refreshState.load(), settingsChanged);

    host.events.clear();
    EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Rendered);
    EXPECT_EQ(host.sleeps, 0);
    EXPECT_EQ(host.events,
              (std::vector<std::string>{"apply", "loading", "render", "fit 2x3", "publish"}));
    EXPECT_EQ(host.applied.back(), ",600000");
    EXPECT_EQ(host.rendered.back(), ",600000");
}

TEST_F(RefreshCycleTest, SettingsReplacedAfterARequestWasTakenAreAppliedBeforeTheRender) {
    Started();
    host.onSleep = [&](int sleeps) {
        if (sleeps == 6) {
            cycle.refreshState = refreshRequested;
        }
    };
    // The first read gives the period; the second, after the request was taken, is the turn's.
    const int readsBefore = host.settingsReads;
    host.onSettings = [&](int reads) {
        if (reads == readsBefore + 2) {
            ReplaceCodeList(host, cycle, ",000002");
        }
    };
    EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Rendered);
    EXPECT_EQ(host.events,
              (std::vector<std::string>{"apply", "loading", "render", "fit 2x3", "publish"}));
    EXPECT_EQ(host.applied.back(), ",000002");
    EXPECT_EQ(host.rendered.back(), ",000002");
    // Its settingsChanged is kept; it renders once more.
    EXPECT_EQ(cycle.refreshState.load(), settingsChanged);
}

TEST_F(RefreshCycleTest, ARefreshRequestKeepsAPendingSettingsChange) {
    Started();
    cycle.Request(refreshRequested);
    EXPECT_EQ(cycle.refreshState.load(), refreshRequested);
    cycle.Request(settingsChanged);
    cycle.Request(refreshRequested);
    EXPECT_EQ(cycle.refreshState.load(), settingsChanged);
    // Within five seconds of the last render a request would be dropped; the change is not.
    EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Rendered);
    EXPECT_EQ(host.sleeps, 0);
    EXPECT_EQ(host.events.front(), "apply");
}

TEST_F(RefreshCycleTest, SettingsChangeAtTheGateIsApplied) {
    host.settings.refreshSeconds = 10;
    Started();
    // The period runs out, and the change arrives between the wait and the render.
    host.onSleep = [&](int sleeps) {
        if (sleeps == 10) {
            cycle.refreshState = settingsChanged;
        }
    };
    host.now.tm_wday = 0;  // a timed refresh alone would be skipped on Sunday
    EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Rendered);
    EXPECT_EQ(host.events,
              (std::vector<std::string>{"apply", "loading", "render", "fit 2x3", "publish"}));
}

TEST_F(RefreshCycleTest, StopsDuringTheWait) {
    Started();
    host.onSleep = [&](int sleeps) {
        if (sleeps == 2) {
            host.running = false;
        }
    };
    EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Stopped);
    EXPECT_EQ(host.renders, 1);
}

TEST_F(RefreshCycleTest, NoPublishAfterStopDuringRender) {
    host.onRender = [&] { host.running = false; };
    EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Stopped);
    EXPECT_TRUE(host.published.empty());
}

void SetClock(std::tm& now, int wday, int mday, int hour, int minute, int second = 0) {
    now.tm_wday = wday;
    now.tm_mday = mday;
    now.tm_hour = hour;
    now.tm_min = minute;
    now.tm_sec = second;
}

TEST_F(RefreshCycleTest, NoTimedRefreshDuringTheMiddayBreak) {
    host.settings.refreshSeconds = 10;
    Started();
    struct Case {
        int hour;
        int minute;
        int second;
        bool runs;
    };
    const Case cases[] = {
        {11, 29, 59, true}, {11, 30, 0, true},   {11, 30, 59, true}, {11, 31, 0, false},
        {12, 0, 0, false},  {12, 59, 59, false}, {13, 0, 0, true},   {13, 0, 1, true},
    };
    for (const Case& c : cases) {
        SetClock(host.now, 3, 9, c.hour, c.minute, c.second);
        EXPECT_EQ(cycle.RunOnce(),
                  c.runs ? RefreshCycle::Outcome::Rendered : RefreshCycle::Outcome::Skipped)
            << c.hour << ":" << c.minute << ":" << c.second;
    }
    // The refresh button, showing the window and OK in the options still refresh.
    SetClock(host.now, 3, 9, 12, 0);
    for (const RefreshState state : {refreshRequested, settingsChanged}) {
        host.sleeps = 0;
        host.onSleep = [&](int sleeps) {
            if (sleeps == 6) {
                cycle.refreshState = state;
            }
        };
        const int before = host.renders;
        EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Rendered);
        EXPECT_EQ(host.renders, before + 1);
    }
}

class HolidayTest : public RefreshCycleTest {
  protected:
    void SetUp() override {
        host.settings.refreshSeconds = 10;
        Started();
        host.sleeps = 0;
        // Quotes of Friday 2026-12-04 on Monday 2026-12-07.
        host.report.answered = true;
        host.report.provider = ProviderSina;
        std::snprintf(host.report.newestDate, sizeof host.report.newestDate, "2026-12-04");
    }

    RefreshCycle::Outcome TimedAt(int wday, int mday, int hour, int minute, int second = 0) {
        SetClock(host.now, wday, mday, hour, minute, second);
        return cycle.RunOnce();
    }

    RefreshCycle::Outcome RequestedAt(int hour, int minute) {
        SetClock(host.now, 1, 7, hour, minute);
        host.sleeps = 0;
        host.onSleep = [&](int sleeps) {
            if (sleeps == 5) {
                cycle.refreshState = refreshRequested;
            }
        };
        const RefreshCycle::Outcome outcome = cycle.RunOnce();
        host.onSleep = nullptr;
        return outcome;
    }
};

TEST_F(HolidayTest, OldQuotesAfterTheOpeningStopTimedRefreshesUntilTheNextDay) {
    EXPECT_EQ(TimedAt(1, 7, 9, 40), RefreshCycle::Outcome::Rendered);
    EXPECT_TRUE(cycle.HolidayFound(host.now));
    EXPECT_EQ(TimedAt(1, 7, 9, 40, 10), RefreshCycle::Outcome::Skipped);
    EXPECT_EQ(TimedAt(1, 7, 14, 0), RefreshCycle::Outcome::Skipped);
    EXPECT_EQ(TimedAt(1, 7, 15, 59), RefreshCycle::Outcome::Skipped);
    // Asked for, it refreshes; the answer is still Friday's.
    EXPECT_EQ(RequestedAt(14, 30), RefreshCycle::Outcome::Rendered);
    EXPECT_EQ(TimedAt(1, 7, 14, 31), RefreshCycle::Outcome::Skipped);
    // Tuesday is another day.
    EXPECT_EQ(TimedAt(2, 8, 9, 0), RefreshCycle::Outcome::Rendered);
    EXPECT_FALSE(cycle.HolidayFound(host.now));
}

TEST_F(HolidayTest, OnlyAnAnswerAfterNineThirtyFiveJudgesTheDay) {
    // Before trading starts, yesterday's quotes are what there is.
    EXPECT_EQ(TimedAt(1, 7, 9, 0), RefreshCycle::Outcome::Rendered);
    EXPECT_EQ(TimedAt(1, 7, 9, 35, 0), RefreshCycle::Outcome::Rendered);
    EXPECT_EQ(TimedAt(1, 7, 9, 35, 0), RefreshCycle::Outcome::Rendered);
    EXPECT_FALSE(cycle.HolidayFound(host.now));
    EXPECT_EQ(TimedAt(1, 7, 9, 35, 1), RefreshCycle::Outcome::Rendered);
    EXPECT_TRUE(cycle.HolidayFound(host.now));
}

TEST_F(HolidayTest, TodaysOrNoDateOrNoAnswerIsNoHoliday) {
    std::snprintf(host.report.newestDate, sizeof host.report.newestDate, "2026-12-07");
    EXPECT_EQ(TimedAt(1, 7, 10, 0), RefreshCycle::Outcome::Rendered);
    EXPECT_EQ(TimedAt(1, 7, 10, 1), RefreshCycle::Outcome::Rendered);
    host.report.newestDate[0] = '\0';
    EXPECT_EQ(TimedAt(1, 7, 10, 2), RefreshCycle::Outcome::Rendered);
    EXPECT_EQ(TimedAt(1, 7, 10, 3), RefreshCycle::Outcome::Rendered);
    // Old quotes kept on screen because every service failed tell nothing about today.
    std::snprintf(host.report.newestDate, sizeof host.report.newestDate, "2026-12-04");
    host.report.answered = false;
    host.report.stale = true;
    EXPECT_EQ(TimedAt(1, 7, 10, 4), RefreshCycle::Outcome::Rendered);
    EXPECT_EQ(TimedAt(1, 7, 10, 5), RefreshCycle::Outcome::Rendered);
    EXPECT_FALSE(cycle.HolidayFound(host.now));
}

TEST_F(HolidayTest, TodaysQuotesOnARequestBringTimedRefreshesBack) {
    EXPECT_EQ(TimedAt(1, 7, 9, 40), RefreshCycle::Outcome::Rendered);
    EXPECT_EQ(TimedAt(1, 7, 9, 41), RefreshCycle::Outcome::Skipped);
    std::snprintf(host.report.newestDate, sizeof host.report.newestDate, "2026-12-07");
    EXPECT_EQ(RequestedAt(10, 0), RefreshCycle::Outcome::Rendered);
    EXPECT_EQ(TimedAt(1, 7, 10, 1), RefreshCycle::Outcome::Rendered);
}

TEST_F(HolidayTest, RulesSwitchedOffRefreshThroughBreakAndHoliday) {
    RefreshCycle plain(host, MarketRules{false, false});
    plain.refreshState = idle;
    SetClock(host.now, 1, 7, 9, 40);
    EXPECT_EQ(plain.RunOnce(), RefreshCycle::Outcome::Rendered);
    EXPECT_FALSE(plain.HolidayFound(host.now));
    SetClock(host.now, 1, 7, 12, 0);
    EXPECT_EQ(plain.RunOnce(), RefreshCycle::Outcome::Rendered);
}

TEST_F(RefreshCycleTest, FailedAttemptTimeLastsWhileTheQuotesAreOld) {
    host.settings.refreshSeconds = 10;
    Started();
    EXPECT_EQ(cycle.failedAttemptTime.load(), -1);
    host.report.stale = true;
    SetClock(host.now, 1, 7, 14, 35, 2);
    cycle.RunOnce();
    EXPECT_EQ(cycle.failedAttemptTime.load(), 14 * 3600 + 35 * 60 + 2);
    SetClock(host.now, 1, 7, 14, 36, 0);
    cycle.RunOnce();
    EXPECT_EQ(cycle.failedAttemptTime.load(), 14 * 3600 + 36 * 60);
    host.report.stale = false;
    host.report.answered = true;
    cycle.RunOnce();
    EXPECT_EQ(cycle.failedAttemptTime.load(), -1);
}

TEST_F(RefreshCycleTest, CodesWithoutQuoteLastWhileTheirAnswerIsShown) {
    host.settings.refreshSeconds = 10;
    host.report.answered = true;
    host.report.missingCodes = "999999, MAOTAI";
    Started();
    EXPECT_EQ(cycle.MissingCodes(), "999999, MAOTAI");
    // A failed refresh shows the same answer again.
    host.report = RefreshReport{};
    host.report.stale = true;
    cycle.RunOnce();
    EXPECT_EQ(cycle.MissingCodes(), "999999, MAOTAI");
    host.report = RefreshReport{};
    host.report.answered = true;
    cycle.RunOnce();
    EXPECT_EQ(cycle.MissingCodes(), "");
}

}  // namespace
}  // namespace vemo
