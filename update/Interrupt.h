#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace vemo {

// A request to stop, shared by a worker thread and whoever may end it: it wakes the worker's
// waits at once and, through Flag(), cancels its running transfers.
class Interrupt {
  public:
    void Request() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requested_.store(true);
        }
        wake_.notify_all();
    }
    bool Requested() const { return requested_.load(); }
    // For FetchOptions::cancel.
    const std::atomic<bool>* Flag() const { return &requested_; }

    // Waits for `duration`; false when the stop was requested before or during the wait.
    bool Sleep(std::chrono::milliseconds duration) {
        std::unique_lock<std::mutex> lock(mutex_);
        return !wake_.wait_for(lock, duration, [this] { return requested_.load(); });
    }

  private:
    std::mutex mutex_;
    std::condition_variable wake_;
    std::atomic<bool> requested_{false};
};

}  // namespace vemo
