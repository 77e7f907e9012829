#pragma once

#include <mutex>

#include "settings/TickerSettings.h"

namespace vemo {

// The process's settings record. The interface thread replaces it whole; the refresh thread
// takes copies, so neither ever sees a half-replaced record.
class LiveSettings {
  public:
    explicit LiveSettings(const TickerSettings& initial) : settings_(initial) {}

    TickerSettings Get() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return settings_;
    }
    void Replace(const TickerSettings& settings) {
        std::lock_guard<std::mutex> lock(mutex_);
        settings_ = settings;
    }

  private:
    mutable std::mutex mutex_;
    TickerSettings settings_;
};

}  // namespace vemo
