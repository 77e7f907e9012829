#include "app/UpgradeRunner.h"

#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>

#include <pthread.h>

#include <utility>

#include "net/Endpoints.h"
#include "quotes/Gbk.h"
#include "update/HandOff.h"
#include "update/VersionCheck.h"

namespace vemo {

namespace {

constexpr int ProgressPollMs = 100;

void ShowNoticeBox(QWidget* parent, const QString& text) {
    auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("提示"), text,
                                QMessageBox::Ok, parent);
    box->button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

QString Kilobytes(std::uint64_t bytes) {
    return QString::number((bytes + 1023) / 1024);
}

}  // namespace

CUpgradeRunner::CUpgradeRunner(QWidget& window, UpdateSetup setup)
    : window_(window), setup_(std::move(setup)) {
    progressTimer_.setInterval(ProgressPollMs);
    connect(&progressTimer_, &QTimer::timeout, this, &CUpgradeRunner::ShowProgress);
}

CUpgradeRunner::~CUpgradeRunner() {
    RequestStop();
    Join();
}

void CUpgradeRunner::RequestStop() {
    stopped_ = true;
    stop_.Request();
    if (upgradeStop_) {
        upgradeStop_->Request();
    }
}

void CUpgradeRunner::Join() {
    for (std::thread* thread : {&noticeThread_, &cleanUpThread_, &upgradeThread_}) {
        if (thread->joinable()) {
            thread->join();
        }
    }
    progressTimer_.stop();
    delete progress_.data();
}

void CUpgradeRunner::StartNoticeCheck() {
    if (noticeThread_.joinable() || stopped_) {
        return;
    }
    noticeThread_ = std::thread([this] {
        pthread_setname_np(pthread_self(), "vemo-notice");
        // The answer's GBK texts are the thread's own; the window gets them as text.
        char text[NoticeBufferSize] = {};
        char link[NoticeBufferSize] = {};
        int required = 0;
        const int result = CheckForNotice(text, link, required, setup_, &stop_);
        updateRequired_.store(required);
        const QString notice = QString::fromStdString(GbkToUtf8(text));
        const QString address = QString::fromStdString(GbkToUtf8(link));
        QMetaObject::invokeMethod(
            this, [this, result, notice, address] { OnNoticeChecked(result, notice, address); },
            Qt::QueuedConnection);
    });
}

void CUpgradeRunner::OnNoticeChecked(int result, const QString& notice, const QString& link) {
    if (stopped_) {
        return;
    }
    if (result != 0) {
        emit noticeArrived(notice);
    }
    if (!link.isEmpty()) {
        emit noticeLinkArrived(QUrl(link));
    }
    // The first page may have been rendered before the flag was known; the upgrade notice then
    // replaces it at once instead of at the next timed refresh.
    if (UpdateRequired()) {
        emit upgradeNoticeDue();
    }
    emit noticeChecked(result);
}

void CUpgradeRunner::StartCleanUp() {
    // An installed program's folder holds no update leftovers, and is not ours to change.
    if (cleanUpThread_.joinable() || stopped_ || setup_.packageManaged) {
        return;
    }
    cleanUpThread_ = std::thread([this] {
        pthread_setname_np(pthread_self(), "vemo-cleanup");
        CleanUpAfterUpdate(setup_.programFolder, &stop_);
    });
}

void CUpgradeRunner::OnUpgradeCommand() {
    if (UpgradeRunning() || stopped_) {
        return;
    }
    if (setup_.packageManaged) {
        ShowNoticeBox(&window_, QString::fromUtf8(PackageManagedUpgradeText));
        emit upgradeFinished(PackageManaged);
        return;
    }
    upgradeStop_ = std::make_unique<Interrupt>();
    step_.store(static_cast<int>(UpdateStep::Answer));
    received_.store(0);
    total_.store(0);

    auto* progress = new QProgressDialog(&window_);
    progress->setWindowTitle(QStringLiteral("升级"));
    progress->setAccessibleName(QStringLiteral("升级"));
    progress->setCancelButtonText(QStringLiteral("取消"));
    progress->setMinimumDuration(0);
    progress->setAutoReset(false);
    progress->setRange(0, 0);
    progress->setMinimumWidth(320);
    // Cancelling ends the transfer; the upgrade then ends without a failure message.
    connect(progress, &QProgressDialog::canceled, this, [this] {
        progressTimer_.stop();
        if (upgradeStop_) {
            upgradeStop_->Request();
        }
    });
    progress_ = progress;
    ShowProgress();
    progress->show();
    progressTimer_.start();

    Interrupt* stop = upgradeStop_.get();
    upgradeThread_ = std::thread([this, stop] {
        pthread_setname_np(pthread_self(), "vemo-upgrade");
        const int result = DownloadAndHandOff(
            setup_,
            [this](UpdateStep step, std::uint64_t received, std::uint64_t total) {
                step_.store(static_cast<int>(step));
                received_.store(received);
                total_.store(total);
            },
            stop);
        QMetaObject::invokeMethod(
            this, [this, result] { OnUpgradeFinished(result); }, Qt::QueuedConnection);
    });
}

void CUpgradeRunner::ShowProgress() {
    if (progress_ == nullptr) {
        return;
    }
    const auto step = static_cast<UpdateStep>(step_.load());
    const std::uint64_t received = received_.load();
    const std::uint64_t total = total_.load();
    QString label;
    switch (step) {
        case UpdateStep::Answer:
            label = QStringLiteral("正在查询新版本...");
            break;
        case UpdateStep::Program:
            label = total > 0 ? QStringLiteral("正在下载新版本: %1 KB / %2 KB")
                                    .arg(Kilobytes(received), Kilobytes(total))
                              : QStringLiteral("正在下载新版本: %1 KB").arg(Kilobytes(received));
            break;
        case UpdateStep::HandOff:
            label = QStringLiteral("正在启动升级程序...");
            break;
    }
    progress_->setLabelText(label);
    if (step == UpdateStep::Program && total > 0) {
        // Kilobytes keep the range inside an int for any program size.
        progress_->setRange(0, static_cast<int>((total + 1023) / 1024));
        progress_->setValue(static_cast<int>((received + 1023) / 1024));
    } else if (step == UpdateStep::HandOff) {
        progress_->setRange(0, 1);
        progress_->setValue(1);
    } else {
        progress_->setRange(0, 0);
    }
}

void CUpgradeRunner::OnUpgradeFinished(int result) {
    if (stopped_ || !upgradeThread_.joinable()) {
        return;
    }
    upgradeThread_.join();
    const bool cancelled = upgradeStop_ && upgradeStop_->Requested();
    upgradeStop_.reset();
    progressTimer_.stop();
    delete progress_.data();

    if (result == UpdaterStarted) {
        // The updater waits for this program to end before it replaces its file.
        emit exitRequested();
    } else if (cancelled) {
        // The user asked for it: the progress window closing is all there is to say.
    } else if (result == AlreadyNewest) {
        ShowNoticeBox(&window_, QStringLiteral("已经是最新版本无须升级"));
    } else {
        ShowNoticeBox(&window_, QStringLiteral("升级失败，可能防火墙阻止了VEMO升级。\n请到") +
                                    QString::fromLatin1(MakerHost) +
                                    QStringLiteral("下载最新版。"));
    }
    emit upgradeFinished(result);
}

}  // namespace vemo
