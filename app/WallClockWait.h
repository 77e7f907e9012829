#pragma once

#include <atomic>
#include <chrono>
#include <optional>

#include "settings/UniqueFd.h"

namespace vemo {

using WallClock = std::chrono::system_clock;

// A thread's sleep until a moment on the wall clock, or until another thread wakes it. The
// moment is kept on the real-time clock, so time spent suspended counts and a sleep whose moment
// passed during a suspend ends on resume; a clock that is set (by hand or by time sync) ends the
// sleep too, so the caller can work out its moment anew.
class WallClockWait {
  public:
    enum class Woken { Deadline, Wake, ClockSet, Stopped };

    WallClockWait();
    WallClockWait(const WallClockWait&) = delete;
    WallClockWait& operator=(const WallClockWait&) = delete;

    // False when the system would not give the descriptors; every wait then ends at once as
    // Stopped rather than spin or hang.
    bool Ready() const { return timer_.get() >= 0 && wake_.get() >= 0; }

    // Sleeps until `until` (none: until woken or stopped). Wake-ups that came while the thread
    // was not waiting end the next wait at once, so none is lost.
    Woken WaitUntil(std::optional<WallClock::time_point> until);
    // Any thread: ends the current or next wait.
    void Wake();
    // Any thread: ends the current wait and every later one at once.
    void Stop();

  private:
    UniqueFd timer_;  // timerfd on CLOCK_REALTIME
    UniqueFd wake_;   // eventfd
    std::atomic<bool> stopped_{false};
};

}  // namespace vemo
