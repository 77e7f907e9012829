#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/RefreshCycle.h"

namespace vemo {
namespace {

using std::chrono::seconds;
using TimePoint = WallClock::time_point;

// A moment of December 2026; the tests take UTC as the local time. The 7th is a Monday.
TimePoint Moment(int mday, int hour, int minute, int second = 0) {
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 11;
    t.tm_mday = mday;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return WallClock::from_time_t(timegm(&t));
}

std::tm LocalOf(TimePoint at) {
    const std::time_t whole = WallClock::to_time_t(at);
    std::tm local{};
    gmtime_r(&whole, &local);
    return local;
}

// A host with a clock that moves only when the cycle waits: to the moment it waits for, or
// wherever a test's hook puts it.
class FakeHost : public RefreshHost {
  public:
    FakeHost() { settings = DefaultTickerSettings(); }

    bool WaitUntil(std::optional<TimePoint> until) override {
        waits.push_back(until);
        if (until && *until > now) {
            now = *until;
        }
        if (onWait) {
            onWait(static_cast<int>(waits.size()));
        }
        return running;
    }
    void Wake() override { ++wakes; }
    bool Running() override { return running; }
    TimePoint Now() override { return now; }
    std::tm LocalTime(TimePoint at) override { return LocalOf(at); }
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
        renderedAt.push_back(now);
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
    TimePoint now = Moment(7, 10, 0);
    bool visible = true;
    bool running = true;
    int wakes = 0;
    int tableRows = 2;
    int tableCols = 3;
    int settingsReads = 0;
    // Each wait's moment (none: no time-out).
    std::vector<std::optional<TimePoint>> waits;
    std::vector<TimePoint> renderedAt;
    // Called after each wait with the number of waits so far: what happened meanwhile.
    std::function<void(int)> onWait;
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
        host.waits.clear();
    }

    // Turns until a render, a stop, or a wait without a time-out that nothing ended.
    RefreshCycle::Outcome Turn() {
        for (int i = 0; i < 50; ++i) {
            const std::size_t waitsBefore = host.waits.size();
            const TimePoint before = host.now;
            const int stateBefore = cycle.refreshState.load();
            const bool visibleBefore = host.visible;
            const RefreshCycle::Outcome outcome = cycle.RunOnce();
            if (outcome != RefreshCycle::Outcome::Waited) {
                return outcome;
            }
            const bool idleWait = host.waits.size() > waitsBefore && !host.waits.back() &&
                                  host.now == before && cycle.refreshState.load() == stateBefore &&
                                  host.visible == visibleBefore;
            if (idleWait) {
                return outcome;
            }
        }
        ADD_FAILURE() << "no render in 50 turns";
        return RefreshCycle::Outcome::Waited;
    }

    FakeHost host;
    RefreshCycle cycle{host};
};

TEST(NextTimedRefreshTest, DueMomentsAroundTradingHoursBreaksAndHolidays) {
    struct Case {
        const char* what;
        TimePoint now;
        std::optional<TimePoint> lastRender;
        std::int32_t refreshSeconds;
        std::optional<TimePoint> due;
        MarketRules rules = {};
        int holiday = 0;
    };
    const Case cases[] = {
        {"a period after the render", Moment(7, 10, 0, 3), Moment(7, 10, 0), 10,
         Moment(7, 10, 0, 10)},
        {"overdue is now", Moment(7, 10, 5), Moment(7, 10, 0), 60, Moment(7, 10, 5)},
        {"never rendered is now", Moment(7, 10, 0), std::nullopt, 10, Moment(7, 10, 0)},
        {"before the opening", Moment(7, 8, 59, 50), Moment(7, 8, 59, 45), 10, Moment(7, 9, 0)},
        {"at the opening", Moment(7, 9, 0), Moment(7, 8, 50), 10, Moment(7, 9, 0)},
        {"last of the morning", Moment(7, 11, 30, 45), Moment(7, 11, 30, 45), 10,
         Moment(7, 11, 30, 55)},
        {"at the break", Moment(7, 11, 30, 50), Moment(7, 11, 30, 50), 10, Moment(7, 13, 0)},
        {"into the break", Moment(7, 11, 30, 55), Moment(7, 11, 30, 55), 10, Moment(7, 13, 0)},
        {"no break without the rule", Moment(7, 11, 30, 55), Moment(7, 11, 30, 55), 10,
         Moment(7, 11, 31, 5), MarketRules{false, true}},
        {"last of the day", Moment(7, 15, 59, 50), Moment(7, 15, 59, 45), 10,
         Moment(7, 15, 59, 55)},
        {"after the closing", Moment(7, 15, 59, 55), Moment(7, 15, 59, 55), 10, Moment(8, 9, 0)},
        {"Friday evening to Monday", Moment(4, 17, 0), Moment(4, 15, 59, 55), 10,
         Moment(7, 9, 0)},
        {"Sunday", Moment(6, 10, 0), Moment(4, 15, 59, 55), 300, Moment(7, 9, 0)},
        {"holiday to the next day", Moment(7, 9, 40), Moment(7, 9, 40), 10, Moment(8, 9, 0),
         MarketRules{}, 20261207},
        {"Friday holiday to Monday", Moment(4, 9, 40), Moment(4, 9, 40), 10, Moment(7, 9, 0),
         MarketRules{}, 20261204},
        {"holiday of another day", Moment(7, 10, 0), Moment(7, 10, 0), 10, Moment(7, 10, 0, 10),
         MarketRules{}, 20261204},
        {"holiday without the rule", Moment(7, 10, 0), Moment(7, 10, 0), 10,
         Moment(7, 10, 0, 10), MarketRules{true, false}, 20261207},
        {"不刷新", Moment(7, 10, 0), Moment(7, 10, 0), 0, std::nullopt},
        {"below ten seconds", Moment(7, 10, 0), Moment(7, 10, 0), 9, std::nullopt},
        {"negative", Moment(7, 10, 0), Moment(7, 10, 0), -30, std::nullopt},
    };
    for (const Case& c : cases) {
        TimedRefreshInputs in;
        in.now = c.now;
        in.localNow = LocalOf(c.now);
        in.lastRender = c.lastRender;
        in.refreshSeconds = c.refreshSeconds;
        in.visible = true;
        in.rules = c.rules;
        in.holiday = c.holiday;
        EXPECT_EQ(NextTimedRefresh(in), c.due) << c.what;
        in.visible = false;
        EXPECT_EQ(NextTimedRefresh(in), std::nullopt) << c.what << ", hidden";
    }
}

TEST_F(RefreshCycleTest, FirstTurnRendersAtOnceEvenOnSunday) {
    host.now = Moment(6, 3, 0);
    host.visible = false;
    EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Rendered);
    EXPECT_TRUE(host.waits.empty());
    EXPECT_EQ(host.events,
              (std::vector<std::string>{"apply", "loading", "render", "fit 2x3", "publish"}));
    EXPECT_EQ(host.published, "<html>page</html>");
    EXPECT_EQ(cycle.refreshState.load(), idle);
}

TEST_F(RefreshCycleTest, OneWaitPerTimedRefreshAndNoneBetween) {
    host.settings.refreshSeconds = 10;
    Started();
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(Turn(), RefreshCycle::Outcome::Rendered);
        EXPECT_EQ(host.renderedAt.back(), Moment(7, 10, 0, 10 * i));
    }
    EXPECT_EQ(host.waits.size(), 3u);
    // A plain timed refresh shows no loading indicator.
    for (const std::string& event : host.events) {
        EXPECT_NE(event, "loading");
    }
}

TEST_F(RefreshCycleTest, WaitsWithoutATimeOutWhenNoTimedRefreshCanCome) {
    // 不刷新; then a hidden window with a period.
    Started();
    EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Waited);
    EXPECT_EQ(host.waits.back(), std::nullopt);
    host.settings.refreshSeconds = 10;
    host.visible = false;
    EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Waited);
    EXPECT_EQ(host.waits.back(), std::nullopt);
    // Outside trading hours the wait lasts to the next opening.
    host.visible = true;
    host.now = Moment(11, 18, 0);  // Friday evening
    EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Waited);
    EXPECT_EQ(host.waits.back(), Moment(14, 9, 0));
    EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Rendered);
    EXPECT_EQ(host.renderedAt.back(), Moment(14, 9, 0));
}

TEST_F(RefreshCycleTest, RequestsAndSettingsChangesRenderAtOnceWhateverTheHour) {
    host.settings.refreshSeconds = 10;
    Started();
    host.visible = false;
    host.now = Moment(12, 3, 0);  // Saturday night
    EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Waited);
    for (const RefreshState state : {refreshRequested, settingsChanged}) {
        const int wakes = host.wakes;
        cycle.Request(state);
        EXPECT_EQ(host.wakes, wakes + 1);
        const std::size_t waits = host.waits.size();
        EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Rendered);
        EXPECT_EQ(host.waits.size(), waits);
        EXPECT_EQ(host.events[state == settingsChanged ? 1 : 0], "loading");
        host.events.clear();
        host.now += seconds(6);
    }
}

TEST_F(RefreshCycleTest, ShowingAfterSkippedRefreshesRendersAtOnce) {
    host.settings.refreshSeconds = 60;
    Started();
    host.visible = false;
    EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Waited);
    EXPECT_EQ(host.waits.back(), std::nullopt);
    // Shown three minutes later: the window's wake-up finds the timed refresh overdue.
    host.now += seconds(180);
    host.visible = true;
    EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Rendered);
    EXPECT_EQ(host.waits.size(), 1u);
    EXPECT_EQ(host.renderedAt.back(), Moment(7, 10, 3));
    // Shown again within the period: the next refresh keeps its moment.
    host.now += seconds(20);
    EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Waited);
    EXPECT_EQ(host.waits.back(), Moment(7, 10, 4));
}

TEST_F(RefreshCycleTest, ManualRequestWithinFiveSecondsIsDroppedWhenTheyAreUp) {
    Started();  // rendered at 10:00:00; 不刷新
    host.now += seconds(3);
    cycle.Request(refreshRequested);
    // Kept for the tip and the window until the five seconds are up, then dropped unrendered.
    EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Waited);
    EXPECT_EQ(host.waits.back(), Moment(7, 10, 0, 5));
    EXPECT_EQ(cycle.refreshState.load(), refreshRequested);
    EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Waited);
    EXPECT_EQ(host.waits.back(), std::nullopt);
    EXPECT_EQ(cycle.refreshState.load(), idle);
    EXPECT_EQ(host.renderedAt.size(), 1u);

    // Five seconds or more after the render, it is honoured at once.
    cycle.Request(refreshRequested);
    EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Rendered);
    EXPECT_EQ(host.renderedAt.back(), Moment(7, 10, 0, 5));
}

TEST_F(RefreshCycleTest, SecondsSinceRefreshFollowTheClock) {
    EXPECT_EQ(cycle.SecondsSinceRefresh(), 0u);
    Started();
    host.now += seconds(42);
    EXPECT_EQ(cycle.SecondsSinceRefresh(), 42u);
    host.now -= seconds(3600);
    EXPECT_EQ(cycle.SecondsSinceRefresh(), 0u);
}

TEST_F(RefreshCycleTest, AClockThatJumpsIsAnsweredAtOnce) {
    host.settings.refreshSeconds = 300;
    Started();
    // A suspend during the wait: the machine wakes two hours later, still in trading hours.
    host.onWait = [&](int) { host.now = Moment(7, 12, 59, 59) + seconds(1); };
    EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Waited);
    EXPECT_EQ(host.waits.back(), Moment(7, 10, 5));
    host.onWait = nullptr;
    EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Rendered);
    EXPECT_EQ(host.renderedAt.back(), Moment(7, 13, 0));

    // The clock set back three hours: the next refresh is a period after the jump, not three
    // hours and a period, and a request is not held up by a render that seems to lie ahead.
    host.now = Moment(7, 10, 0);
    EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Waited);
    EXPECT_EQ(host.waits.back(), Moment(7, 10, 5));
    host.now += seconds(10);
    cycle.Request(refreshRequested);
    EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Rendered);
}

TEST_F(RefreshCycleTest, FitsOnlyWhenTheTableChangesOrSettingsChanged) {
    host.settings.refreshSeconds = 10;
    Started();
    Turn();  // same 2 x 3 table: no fit
    EXPECT_EQ(host.events, (std::vector<std::string>{"render", "publish"}));

    host.events.clear();
    host.tableRows = 5;
    Turn();
    EXPECT_EQ(host.events, (std::vector<std::string>{"render", "fit 5x3", "publish"}));

    // A column shown or hidden, with the same rows.
    host.events.clear();
    host.tableCols = 4;
    Turn();
    EXPECT_EQ(host.events, (std::vector<std::string>{"render", "fit 5x4", "publish"}));

    host.events.clear();
    cycle.Request(settingsChanged);
    Turn();
    EXPECT_EQ(host.events,
              (std::vector<std::string>{"apply", "loading", "render", "fit 5x4", "publish"}));
}

TEST_F(RefreshCycleTest, ChangesAndRequestsDuringARenderAreKeptForTheNextTurn) {
    Started();
    host.onRender = [&] { cycle.Request(settingsChanged); };
    cycle.Request(settingsChanged);
    cycle.RunOnce();
    EXPECT_EQ(cycle.refreshState.load(), settingsChanged);
    host.onRender = nullptr;
    host.events.clear();
    EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Rendered);
    EXPECT_TRUE(host.waits.empty());
    EXPECT_EQ(host.events.front(), "apply");

    host.onRender = [&] { cycle.Request(refreshRequested); };
    cycle.Request(settingsChanged);
    cycle.RunOnce();
    EXPECT_EQ(cycle.refreshState.load(), refreshRequested);
}

// The options dialog's OK replaces the record and then sets settingsChanged, from the interface
// thread, at any moment of a turn.
void ReplaceCodeList(FakeHost& host, RefreshCycle& cycle, const char* codeList) {
    std::snprintf(host.settings.codeList, sizeof host.settings.codeList, "%s", codeList);
    cycle.Request(settingsChanged);
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
    EXPECT_TRUE(host.waits.empty());
    EXPECT_EQ(host.events,
              (std::vector<std::string>{"apply", "loading", "render", "fit 2x3", "publish"}));
    EXPECT_EQ(host.applied.back(), ",600000");
    EXPECT_EQ(host.rendered.back(), ",600000");
}

TEST_F(RefreshCycleTest, SettingsReplacedAfterARequestWasTakenAreAppliedBeforeTheRender) {
    Started();
    host.now += seconds(6);
    cycle.Request(refreshRequested);
    // The turn's own read, after the request was taken, finds a new record.
    const int readsBefore = host.settingsReads;
    host.onSettings = [&](int reads) {
        if (reads == readsBefore + 1) {
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
    EXPECT_TRUE(host.waits.empty());
    EXPECT_EQ(host.events.front(), "apply");
}

TEST_F(RefreshCycleTest, TooSoonRequestIsDroppedBeforeTheTimedRefresh) {
    host.settings.refreshSeconds = 10;
    Started();
    host.now += seconds(3);
    cycle.Request(refreshRequested);
    EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Waited);
    EXPECT_EQ(host.waits.back(), Moment(7, 10, 0, 5));
    EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Waited);
    EXPECT_EQ(cycle.refreshState.load(), idle);
    EXPECT_EQ(host.waits.back(), Moment(7, 10, 0, 10));
    EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Rendered);
    EXPECT_EQ(host.events, (std::vector<std::string>{"render", "publish"}));
}

TEST_F(RefreshCycleTest, StopsDuringTheWaitAndNeverPublishesAfterAStop) {
    Started();
    host.running = false;
    EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Stopped);
    host.running = true;
    host.onWait = [&](int) { host.running = false; };
    host.settings.refreshSeconds = 10;
    EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Stopped);
    EXPECT_EQ(host.renderedAt.size(), 1u);

    FakeHost other;
    RefreshCycle stopped(other);
    other.onRender = [&] { other.running = false; };
    EXPECT_EQ(stopped.RunOnce(), RefreshCycle::Outcome::Stopped);
    EXPECT_TRUE(other.published.empty());
}

class HolidayTest : public RefreshCycleTest {
  protected:
    void SetUp() override {
        host.settings.refreshSeconds = 10;
        host.now = Moment(7, 8, 0);
        Started();
        // Quotes of Friday 2026-12-04 on Monday 2026-12-07.
        host.report.answered = true;
        host.report.provider = ProviderSina;
        std::snprintf(host.report.newestDate, sizeof host.report.newestDate, "2026-12-04");
    }

    // The next timed refresh, from wherever the clock is.
    TimePoint NextTimed() {
        EXPECT_EQ(Turn(), RefreshCycle::Outcome::Rendered);
        return host.renderedAt.back();
    }
};

TEST_F(HolidayTest, OldQuotesAfterNineThirtyFiveStopTimedRefreshesUntilTheNextDay) {
    // Before trading starts, yesterday's quotes are what there is.
    host.now = Moment(7, 9, 35, 0);
    EXPECT_EQ(NextTimed(), Moment(7, 9, 35, 0));
    EXPECT_FALSE(cycle.HolidayFound(LocalOf(host.now)));
    EXPECT_EQ(NextTimed(), Moment(7, 9, 35, 10));
    EXPECT_TRUE(cycle.HolidayFound(LocalOf(host.now)));
    // Asked for, it refreshes; the answer is still Friday's, and the day stays a holiday.
    host.now = Moment(7, 14, 30);
    cycle.Request(refreshRequested);
    EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Rendered);
    // Tuesday is another day.
    EXPECT_EQ(NextTimed(), Moment(8, 9, 0));
    EXPECT_FALSE(cycle.HolidayFound(LocalOf(host.now)));
}

TEST_F(HolidayTest, TodaysOrNoDateOrNoAnswerIsNoHoliday) {
    host.now = Moment(7, 10, 0);
    std::snprintf(host.report.newestDate, sizeof host.report.newestDate, "2026-12-07");
    EXPECT_EQ(NextTimed(), Moment(7, 10, 0));
    EXPECT_EQ(NextTimed(), Moment(7, 10, 0, 10));
    host.report.newestDate[0] = '\0';
    EXPECT_EQ(NextTimed(), Moment(7, 10, 0, 20));
    EXPECT_EQ(NextTimed(), Moment(7, 10, 0, 30));
    // Old quotes kept on screen because every service failed tell nothing about today.
    std::snprintf(host.report.newestDate, sizeof host.report.newestDate, "2026-12-04");
    host.report.answered = false;
    host.report.stale = true;
    EXPECT_EQ(NextTimed(), Moment(7, 10, 0, 40));
    EXPECT_EQ(NextTimed(), Moment(7, 10, 0, 50));
    EXPECT_FALSE(cycle.HolidayFound(LocalOf(host.now)));
}

TEST_F(HolidayTest, TodaysQuotesOnARequestBringTimedRefreshesBack) {
    host.now = Moment(7, 9, 40);
    EXPECT_EQ(NextTimed(), Moment(7, 9, 40));
    EXPECT_TRUE(cycle.HolidayFound(LocalOf(host.now)));
    std::snprintf(host.report.newestDate, sizeof host.report.newestDate, "2026-12-07");
    host.now = Moment(7, 10, 0);
    cycle.Request(refreshRequested);
    EXPECT_EQ(cycle.RunOnce(), RefreshCycle::Outcome::Rendered);
    EXPECT_EQ(NextTimed(), Moment(7, 10, 0, 10));
}

TEST_F(HolidayTest, RulesSwitchedOffRefreshThroughBreakAndHoliday) {
    RefreshCycle plain(host, MarketRules{false, false});
    plain.refreshState = idle;
    host.now = Moment(7, 9, 40);
    EXPECT_EQ(plain.RunOnce(), RefreshCycle::Outcome::Rendered);
    EXPECT_FALSE(plain.HolidayFound(LocalOf(host.now)));
    host.now = Moment(7, 12, 0);
    EXPECT_EQ(plain.RunOnce(), RefreshCycle::Outcome::Rendered);
    EXPECT_EQ(plain.RunOnce(), RefreshCycle::Outcome::Waited);
    EXPECT_EQ(plain.RunOnce(), RefreshCycle::Outcome::Rendered);
    EXPECT_EQ(host.renderedAt.back(), Moment(7, 12, 0, 10));
}

TEST_F(RefreshCycleTest, FailedAttemptTimeLastsWhileTheQuotesAreOld) {
    host.settings.refreshSeconds = 10;
    host.now = Moment(7, 14, 34, 52);
    Started();
    EXPECT_EQ(cycle.failedAttemptTime.load(), -1);
    host.report.stale = true;
    Turn();
    EXPECT_EQ(cycle.failedAttemptTime.load(), 14 * 3600 + 35 * 60 + 2);
    Turn();
    EXPECT_EQ(cycle.failedAttemptTime.load(), 14 * 3600 + 35 * 60 + 12);
    host.report.stale = false;
    host.report.answered = true;
    Turn();
    EXPECT_EQ(cycle.failedAttemptTime.load(), -1);
}

TEST_F(RefreshCycleTest, CodesWithoutQuoteLastWhileTheirAnswerIsShown) {
    host.settings.refreshSeconds = 10;
    host.now = Moment(7, 14, 34, 52);
    host.report.answered = true;
    host.report.missingCodes = "999999, MAOTAI";
    Started();
    EXPECT_EQ(cycle.MissingCodes(), "999999, MAOTAI");
    // A failed refresh shows the same answer again.
    host.report = RefreshReport{};
    host.report.stale = true;
    Turn();
    EXPECT_EQ(cycle.MissingCodes(), "999999, MAOTAI");
    host.report = RefreshReport{};
    host.report.answered = true;
    Turn();
    EXPECT_EQ(cycle.MissingCodes(), "");
}

// The cycle on a thread of its own, as in the program: waits block until a wake-up or until the
// test moves the clock past the moment waited for.
class ThreadHost : public FakeHost {
  public:
    bool WaitUntil(std::optional<TimePoint> until) override {
        std::unique_lock lock(mutex_);
        const std::uint64_t wakesBefore = wakeCount_;
        const std::uint64_t movesBefore = clockMoves_;
        waiting_ = true;
        changed_.notify_all();
        changed_.wait(lock, [&] {
            return stopping_ || wakeCount_ != wakesBefore ||
                   (until && clockMoves_ != movesBefore && clock_ >= *until);
        });
        ++wokenUp_;
        waiting_ = false;
        return !stopping_;
    }
    void Wake() override {
        {
            std::lock_guard lock(mutex_);
            ++wakeCount_;
        }
        changed_.notify_all();
    }
    bool Running() override {
        std::lock_guard lock(mutex_);
        return !stopping_;
    }
    TimePoint Now() override {
        std::lock_guard lock(mutex_);
        return clock_;
    }
    bool WindowVisible() override { return shown_.load(); }
    TickerSettings Settings() override {
        std::lock_guard lock(mutex_);
        return live_;
    }
    void ApplyWindowSettings(const TickerSettings&) override {}
    void ShowLoadingIndicator() override {}
    RefreshReport Render(const TickerSettings&, std::span<char>, int&, int&) override {
        std::lock_guard lock(mutex_);
        ++renders_;
        changed_.notify_all();
        return {};
    }
    void FitWindowToTable(const TickerSettings&, int, int) override {}
    void Publish(std::string_view) override {}

    void MoveClock(TimePoint to) {
        {
            std::lock_guard lock(mutex_);
            clock_ = to;
            ++clockMoves_;
        }
        changed_.notify_all();
    }
    void Stop() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
    }
    void SetShown(bool shown) { shown_ = shown; }
    void SetPeriod(std::int32_t period) {
        std::lock_guard lock(mutex_);
        live_.refreshSeconds = period;
    }
    // Waits (real time, at most two seconds) until `renders` renders have happened and the
    // thread waits again.
    bool RendersReach(int renders) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(2),
                                 [&] { return renders_ >= renders && waiting_; });
    }
    int Renders() {
        std::lock_guard lock(mutex_);
        return renders_;
    }
    int WokenUp() {
        std::lock_guard lock(mutex_);
        return wokenUp_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    TimePoint clock_ = Moment(7, 10, 0);
    TickerSettings live_ = DefaultTickerSettings();
    std::uint64_t wakeCount_ = 0;
    std::uint64_t clockMoves_ = 0;
    bool stopping_ = false;
    bool waiting_ = false;
    int renders_ = 0;
    int wokenUp_ = 0;
    std::atomic<bool> shown_{true};
};

class RefreshThreadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        host.SetPeriod(60);
        thread = std::thread([this] { cycle.Run(); });
        ASSERT_TRUE(host.RendersReach(1));  // the first render at start
    }
    void TearDown() override {
        host.Stop();
        thread.join();
    }

    // Counts the thread's wake-ups over half a second of real time.
    int WakeUpsOverHalfASecond() {
        const int before = host.WokenUp();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        return host.WokenUp() - before;
    }

    ThreadHost host;
    RefreshCycle cycle{host};
    std::thread thread;
};

TEST_F(RefreshThreadTest, SleepsUntilThereIsAReasonAndWakesAtOnceForEach) {
    EXPECT_EQ(WakeUpsOverHalfASecond(), 0);
    EXPECT_EQ(host.Renders(), 1);

    // 刷新, six seconds after the render.
    host.MoveClock(Moment(7, 10, 0, 6));
    cycle.Request(refreshRequested);
    EXPECT_TRUE(host.RendersReach(2));
    // A settings change (OK in the options dialog).
    cycle.Request(settingsChanged);
    EXPECT_TRUE(host.RendersReach(3));
    EXPECT_EQ(WakeUpsOverHalfASecond(), 0);

    // Hidden past the period, then shown: the show's wake-up finds the refresh overdue.
    host.SetShown(false);
    const int before = host.WokenUp();
    host.MoveClock(Moment(7, 10, 5));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    // The moment came for a hidden window, once; from then on it waits without a time-out.
    EXPECT_EQ(host.WokenUp() - before, 1);
    EXPECT_EQ(host.Renders(), 3);
    host.SetShown(true);
    host.Wake();
    EXPECT_TRUE(host.RendersReach(4));
    EXPECT_EQ(WakeUpsOverHalfASecond(), 0);
}

TEST_F(RefreshThreadTest, AClockJumpPastTheDueMomentRefreshesAtOnce) {
    // A resume two hours later, in the afternoon session.
    host.MoveClock(Moment(7, 14, 0));
    EXPECT_TRUE(host.RendersReach(2));
    // A move that leaves the moment ahead refreshes nothing.
    host.MoveClock(Moment(7, 14, 0, 30));
    EXPECT_EQ(WakeUpsOverHalfASecond(), 0);
    EXPECT_EQ(host.Renders(), 2);
    host.MoveClock(Moment(7, 14, 1));
    EXPECT_TRUE(host.RendersReach(3));
}

TEST_F(RefreshThreadTest, ExitEndsTheWaitAtOnce) {
    host.SetPeriod(0);
    cycle.Request(settingsChanged);
    ASSERT_TRUE(host.RendersReach(2));
    const auto start = std::chrono::steady_clock::now();
    host.Stop();
    thread.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    thread = std::thread([] {});  // for TearDown
}

}  // namespace
}  // namespace vemo
