#include <gtest/gtest.h>

#include <thread>

#include "app/WallClockWait.h"

namespace vemo {
namespace {

using std::chrono::milliseconds;
using Steady = std::chrono::steady_clock;

// Real waits, kept short. A clock that is set cannot be shown here without setting the
// machine's clock; the refresh cycle's tests move a clock of their own instead.
TEST(WallClockWaitTest, EndsAtTheMomentAndNotBefore) {
    WallClockWait wait;
    ASSERT_TRUE(wait.Ready());
    const Steady::time_point start = Steady::now();
    EXPECT_EQ(wait.WaitUntil(WallClock::now() + milliseconds(200)),
              WallClockWait::Woken::Deadline);
    const auto took = Steady::now() - start;
    EXPECT_GE(took, milliseconds(190));
    EXPECT_LT(took, milliseconds(1500));

    // A moment that has passed ends the wait at once; so does the epoch itself.
    for (const WallClock::time_point past : {WallClock::now() - milliseconds(5), WallClock::time_point{}}) {
        const Steady::time_point again = Steady::now();
        EXPECT_EQ(wait.WaitUntil(past), WallClockWait::Woken::Deadline);
        EXPECT_LT(Steady::now() - again, milliseconds(200));
    }
}

TEST(WallClockWaitTest, AWakeUpEndsAWaitWithOrWithoutAMomentAndIsNeverLost) {
    WallClockWait wait;
    for (const bool withMoment : {false, true}) {
        std::thread waker([&] {
            std::this_thread::sleep_for(milliseconds(100));
            wait.Wake();
        });
        const Steady::time_point start = Steady::now();
        const std::optional<WallClock::time_point> until =
            withMoment ? std::optional(WallClock::now() + std::chrono::hours(1)) : std::nullopt;
        EXPECT_EQ(wait.WaitUntil(until), WallClockWait::Woken::Wake);
        EXPECT_LT(Steady::now() - start, milliseconds(1000));
        waker.join();
    }
    // Woken twice before it waits: the next wait ends at once, the one after does not.
    wait.Wake();
    wait.Wake();
    EXPECT_EQ(wait.WaitUntil(std::nullopt), WallClockWait::Woken::Wake);
    EXPECT_EQ(wait.WaitUntil(WallClock::now() + milliseconds(100)),
              WallClockWait::Woken::Deadline);
}

TEST(WallClockWaitTest, StopEndsTheWaitWithoutAMomentAndEveryLaterOne) {
    WallClockWait wait;
    WallClockWait::Woken woken = WallClockWait::Woken::Deadline;
    std::thread waiter([&] { woken = wait.WaitUntil(std::nullopt); });
    std::this_thread::sleep_for(milliseconds(300));
    wait.Stop();
    waiter.join();
    EXPECT_EQ(woken, WallClockWait::Woken::Stopped);
    EXPECT_EQ(wait.WaitUntil(WallClock::now() + std::chrono::hours(1)),
              WallClockWait::Woken::Stopped);
}

}  // namespace
}  // namespace vemo
