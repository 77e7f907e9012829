#pragma once

#include <QByteArray>
#include <QMetaObject>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <span>
#include <string_view>

#include "app/PageFile.h"
#include "app/RefreshCycle.h"
#include "app/TickerWindow.h"
#include "quotes/QuotePage.h"
#include "quotes/QuoteUrl.h"

namespace vemo {

// The refresh thread's view of the window. Everything that touches a widget is queued to the
// interface thread; the thread itself only sleeps, fetches, renders and writes the page file.
class CTickerWindow::Host : public RefreshHost {
  public:
    explicit Host(CTickerWindow& window) : window_(window), session_(NetworkFetchers(Options())) {}

    void Stop() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
    }

    bool Sleep(std::chrono::milliseconds duration) override {
        std::unique_lock<std::mutex> lock(mutex_);
        return !wake_.wait_for(lock, duration, [this] { return stopping_.load(); });
    }
    bool Running() override { return !stopping_.load(); }
    std::tm LocalNow() override {
        if (clock_) {
            return clock_();
        }
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        return local;
    }
    bool WindowVisible() override { return window_.visible_.load(); }
    TickerSettings Settings() override { return window_.settings_.Get(); }

    void ApplyWindowSettings(const TickerSettings& settings) override {
        BuildQuoteUrl(settings);  // QuoteUrl belongs to this thread
        Queue([this, settings] { window_.ApplyWindowSettings(settings); });
    }
    void ShowLoadingIndicator() override {
        Queue([this] {
            window_.loadingIndicator_->show();
            window_.loadingIndicator_->raise();
        });
    }
    RefreshReport Render(const TickerSettings& settings, std::span<char> page, int& rows,
                         int& cols) override {
        return session_.Render(settings, page, rows, cols);
    }
    void FitWindowToTable(const TickerSettings& settings, int rows, int cols) override {
        Queue([this, settings, rows, cols] { window_.FitWindowToTable(settings, rows, cols); });
    }
    void Publish(std::string_view page) override {
        // An unwritable page file leaves the last page and the loading indicator on screen,
        // and the indicator says why.
        if (!WritePageFile(window_.paths_.pageFile, page)) {
            Queue([this] { window_.ShowPageFileProblem(); });
            return;
        }
        // The view takes the page from memory; the file is there for whoever else reads it.
        Queue([this, bytes = QByteArray(page.data(), static_cast<qsizetype>(page.size()))] {
            window_.ShowPage(bytes);
        });
    }

    // Set before the refresh thread starts, read only by it.
    LocalClock clock_;

  private:
    FetchOptions Options() {
        FetchOptions options;
        options.cancel = &stopping_;
        return options;
    }

    template <typename F>
    void Queue(F&& work) {
        QMetaObject::invokeMethod(&window_, std::forward<F>(work), Qt::QueuedConnection);
    }

    CTickerWindow& window_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::atomic<bool> stopping_{false};
    QuotePageSession session_;  // the last quotes, kept for a refresh in which all services fail
};

}  // namespace vemo
