#include "app/WallClockWait.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace vemo {

namespace {

timespec ToTimespec(WallClock::time_point at) {
    const auto since = at.time_since_epoch();
    const auto seconds = std::chrono::floor<std::chrono::seconds>(since);
    timespec moment{};
    moment.tv_sec = static_cast<time_t>(seconds.count());
    moment.tv_nsec = static_cast<long>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(since - seconds).count());
    // An all-zero value would disarm the timer instead of firing at once.
    if (moment.tv_sec <= 0) {
        moment.tv_sec = 0;
        moment.tv_nsec = 1;
    }
    return moment;
}

}  // namespace

WallClockWait::WallClockWait()
    : timer_(timerfd_create(CLOCK_REALTIME, TFD_CLOEXEC | TFD_NONBLOCK)),
      wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

WallClockWait::Woken WallClockWait::WaitUntil(std::optional<WallClock::time_point> until) {
    if (stopped_.load() || !Ready()) {
        return Woken::Stopped;
    }
    itimerspec setting{};
    int flags = 0;
    if (until) {
        setting.it_value = ToTimespec(*until);
        // A clock that is set while the timer runs cancels it: the moment is worked out anew.
        flags = TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET;
    }
    if (timerfd_settime(timer_.get(), flags, &setting, nullptr) != 0) {
        return Woken::Stopped;
    }

    pollfd fds[2] = {{wake_.get(), POLLIN, 0}, {timer_.get(), POLLIN, 0}};
    for (;;) {
        const int ready = poll(fds, 2, -1);
        if (ready > 0) {
            break;
        }
        if (ready < 0 && errno != EINTR) {
            return Woken::Stopped;
        }
    }
    std::uint64_t count = 0;
    if ((fds[0].revents & POLLIN) != 0) {
        // Several wake-ups before this one are one reason to look again, not several.
        [[maybe_unused]] const ssize_t drained = read(wake_.get(), &count, sizeof count);
        return stopped_.load() ? Woken::Stopped : Woken::Wake;
    }
    if (read(timer_.get(), &count, sizeof count) < 0 && errno == ECANCELED) {
        return Woken::ClockSet;
    }
    return Woken::Deadline;
}

void WallClockWait::Wake() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(wake_.get(), &one, sizeof one);
}

void WallClockWait::Stop() {
    stopped_.store(true);
    Wake();
}

}  // namespace vemo
