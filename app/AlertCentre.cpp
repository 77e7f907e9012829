#include "app/AlertCentre.h"

#include <QDir>
#include <QMouseEvent>
#include <QSystemTrayIcon>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextTable>

#include <iostream>

#include "settings/AlertSwitch.h"
#include "settings/AlertsFile.h"
#include "settings/UserFolders.h"

namespace vemo {

namespace {

// The program's icon as a file the notification service can read; empty when none can be
// written (the service then shows its own).
QString ProgramIconFile() {
    const std::filesystem::path cache = CacheHome();
    if (cache.empty()) {
        return {};
    }
    const std::filesystem::path folder = cache / "Quorvane" / "VemoMonitor";
    if (!EnsurePrivateFolder(folder)) {
        return {};
    }
    return WriteIconFile(QStringLiteral(":/icons/128.png"),
                         QString::fromStdString((folder / "vemo.png").string()));
}

AlertNotifier::Balloon TrayBalloon(QSystemTrayIcon* tray) {
    return [tray](const QString& summary, const QString& body) {
        if (tray == nullptr || !tray->isVisible() || !QSystemTrayIcon::isSystemTrayAvailable()) {
            return false;
        }
        tray->showMessage(summary, body, QSystemTrayIcon::Information);
        return true;
    };
}

}  // namespace

AlertCentre::AlertCentre(SettingsFiles files, QSystemTrayIcon* tray, QObject* parent)
    : QObject(parent), files_(std::move(files)),
      notifier_(QDBusConnection::sessionBus(), ProgramIconFile(), TrayBalloon(tray)) {}

void AlertCentre::Load() {
    on_.store(LoadAlertsOn(files_));
    LoadRules();
}

void AlertCentre::LoadRules() {
    // alerts.ini lies beside the per-user store.
    AlertsFile file{PerCodeFile(files_.appStore.parent_path() / AlertsFileName)};
    file.Load();
    ReportAlertFileProblems(file, std::cerr);
    monitor_.SetRules(file.Rules());
}

void AlertCentre::SetOn(bool on) {
    on_.store(on);
    SaveAlertsOn(on, files_);
}

AlertMonitor::Review AlertCentre::ReviewRows(std::span<const QuoteRecord> rows,
                                             const char* dataTime, bool fresh,
                                             const std::tm& now) {
    return monitor_.ReviewRows(rows, dataTime, now, fresh, !on_.load());
}

void AlertCentre::Tell(const std::vector<FiredAlert>& fired) {
    for (const FiredAlert& alert : fired) {
        if (alert.notify) {
            notifier_.Show(QString::fromStdString(AlertSummary(alert)),
                           QString::fromStdString(AlertBody(alert)));
        }
    }
}

void AlertCentre::WatchPage(QTextBrowser* view, std::function<int()> headerRows) {
    view_ = view;
    headerRows_ = std::move(headerRows);
    view_->viewport()->installEventFilter(this);
}

bool AlertCentre::eventFilter(QObject* watched, QEvent* event) {
    if (view_ == nullptr || watched != view_->viewport() ||
        event->type() != QEvent::MouseButtonPress) {
        return false;
    }
    const auto* press = static_cast<QMouseEvent*>(event);
    const QTextCursor cursor = view_->cursorForPosition(press->position().toPoint());
    QTextTable* table = cursor.currentTable();
    if (table == nullptr) {
        return false;
    }
    const int row = table->cellAt(cursor).row();
    const int quoteRow = row - (headerRows_ ? headerRows_() : 0);
    const std::string code = quoteRow >= 0 ? monitor_.RowCode(static_cast<std::size_t>(quoteRow))
                                           : std::string();
    if (code.empty()) {
        return false;
    }
    monitor_.ClearMark(code);
    // The row loses its colour now, not at the next refresh.
    for (int column = 0; column < table->columns(); ++column) {
        QTextTableCell cell = table->cellAt(row, column);
        QTextTableCellFormat format = cell.format().toTableCellFormat();
        format.clearBackground();
        cell.setFormat(format);
    }
    return false;  // the click still does what it does on the page (a link opens)
}

}  // namespace vemo
