#pragma once

#include <QObject>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>
#include <QUrl>

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "update/Interrupt.h"
#include "update/UpdateSetup.h"

namespace vemo {

// The ticker's side of the maker's server: the notice check at start, the clean-up of an earlier
// update, and the Upgrade command, whose downloads run on a thread of their own while a small
// progress window shows how much has arrived and offers to cancel. What it finds goes to the
// window through signals; its message boxes and progress window belong to `window`.
class CUpgradeRunner : public QObject {
    Q_OBJECT

  public:
    CUpgradeRunner(QWidget& window, UpdateSetup setup);
    // Stops every thread and waits for it.
    ~CUpgradeRunner() override;

    CUpgradeRunner(const CUpgradeRunner&) = delete;
    CUpgradeRunner& operator=(const CUpgradeRunner&) = delete;

    // The one-shot notice thread: its notice goes into the notice line, a link makes the line
    // clickable.
    void StartNoticeCheck();
    // The one-shot clean-up thread.
    void StartCleanUp();
    // The Upgrade command. Does nothing while an upgrade runs.
    void OnUpgradeCommand();
    bool UpgradeRunning() const { return upgradeThread_.joinable(); }
    // The progress window of the running upgrade, or null.
    QProgressDialog* ProgressWindow() const { return progress_; }
    // The notice check found that this version must be upgraded before it shows quotes.
    bool UpdateRequired() const { return updateRequired_.load() != 0; }

    // Cancels the transfers and waits of all three threads; their results are then dropped.
    // Returns at once, so that the program's other threads can be told to stop too before it
    // waits for them all. Called when the program ends.
    void RequestStop();
    // Waits for every thread to end; after RequestStop that is soon.
    void Join();

  signals:
    // The maker's notice, for the notice line; a link makes the line clickable.
    void noticeArrived(const QString& text);
    void noticeLinkArrived(const QUrl& link);
    // An update has become mandatory: a page rendered before this was known is out of date.
    void upgradeNoticeDue();
    // The updater has started and waits for this program to end.
    void exitRequested();
    // The notice check has ended and its result is on screen.
    void noticeChecked(int result);
    // An upgrade has ended with this result of DownloadAndHandOff; its message is on screen (or,
    // for 1, the program is ending).
    void upgradeFinished(int result);

  private:
    void OnNoticeChecked(int result, const QString& notice, const QString& link);
    void OnUpgradeFinished(int result);
    void ShowProgress();

    QWidget& window_;
    const UpdateSetup setup_;
    bool stopped_ = false;

    Interrupt stop_;  // the notice and clean-up threads
    // Written by the notice thread, read by the refresh thread and the interface thread.
    std::atomic<int> updateRequired_{0};
    std::thread noticeThread_;
    std::thread cleanUpThread_;

    std::unique_ptr<Interrupt> upgradeStop_;  // one per upgrade: its cancel button
    std::thread upgradeThread_;
    QPointer<QProgressDialog> progress_;
    QTimer progressTimer_;
    std::atomic<int> step_{0};
    std::atomic<std::uint64_t> received_{0};
    std::atomic<std::uint64_t> total_{0};
};

}  // namespace vemo
