#pragma once

#include <QByteArray>
#include <QMetaObject>

#include <atomic>
#include <ctime>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "app/AlertCentre.h"
#include "app/PageFile.h"
#include "app/RefreshCycle.h"
#include "app/TickerWindow.h"
#include "app/UpgradeRunner.h"
#include "app/WallClockWait.h"
#include "quotes/QuotePage.h"
#include "quotes/QuoteUrl.h"

namespace vemo {

// The refresh thread's view of the window. Everything that touches a widget is queued to the
// interface thread; the thread itself only sleeps, fetches, renders and writes the page file.
class CTickerWindow::Host : public RefreshHost {
  public:
    explicit Host(CTickerWindow& window) : window_(window), session_(NetworkFetchers(Options())) {
        session_.SetUpgradeByPackageManager(window.paths_.update.packageManaged);
        // Alerts are judged here, on the refresh thread, as each page is written; what fired
        // is told on the interface thread.
        session_.SetRowMarker([this](std::span<const QuoteRecord> rows, const char* dataTime,
                                     bool fresh) {
            AlertMonitor::Review review =
                window_.alerts_->ReviewRows(rows, dataTime, fresh, LocalTime(Now()));
            if (!review.fired.empty()) {
                Queue([this, fired = std::move(review.fired)] { window_.alerts_->Tell(fired); });
            }
            return std::move(review.marks);
        });
    }

    void Stop() {
        stopping_ = true;
        waiter_.Stop();
    }

    bool WaitUntil(std::optional<WallClock::time_point> until) override {
        return waiter_.WaitUntil(until) != WallClockWait::Woken::Stopped && Running();
    }
    void Wake() override { waiter_.Wake(); }
    bool Running() override { return !stopping_.load(); }
    WallClock::time_point Now() override { return WallClock::now(); }
    std::tm LocalTime(WallClock::time_point at) override {
        if (clock_) {
            return clock_();
        }
        const std::time_t seconds = WallClock::to_time_t(at);
        std::tm local{};
        localtime_r(&seconds, &local);
        return local;
    }
    bool WindowVisible() override { return window_.visible_.load(); }
    TickerSettings Settings() override { return window_.settings_.Get(); }

    void ApplyWindowSettings(const TickerSettings& settings) override {
        BuildQuoteUrl(settings, quoteUrl_);
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
        const std::shared_ptr<const LoadedHoldings> holdings = window_.holdings_.Current();
        const RefreshReport report =
            session_.Render(settings, quoteUrl_, window_.upgrade_->UpdateRequired(), page, rows,
                            cols, holdings->Shown());
        window_.holdings_.NoteNames(session_.KeptNames());
        return report;
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
    WallClockWait waiter_;
    std::atomic<bool> stopping_{false};
    QuotePageSession session_;  // the last quotes, kept for a refresh in which all services fail
    std::string quoteUrl_;      // the refresh thread's own
};

}  // namespace vemo
