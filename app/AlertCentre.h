#pragma once

#include <QObject>

#include <atomic>
#include <ctime>
#include <functional>
#include <span>
#include <vector>

#include "app/AlertNotifier.h"
#include "quotes/Alerts.h"
#include "settings/SettingsStore.h"

class QSystemTrayIcon;
class QTextBrowser;

namespace vemo {

// The window's price alerts: the rules of alerts.ini, the menu's switch, the notifications of
// what fired and the marked rows of the page, which a click on the row clears.
class AlertCentre : public QObject {
    Q_OBJECT

  public:
    AlertCentre(SettingsFiles files, QSystemTrayIcon* tray, QObject* parent = nullptr);

    // Reads the switch from vemo.ini and the rules from alerts.ini; the values the rules file
    // gets wrong are named on standard error.
    void Load();
    // Rereads alerts.ini.
    void LoadRules();

    bool On() const { return on_.load(); }
    // Turns notifications on or off and saves the choice. Rules keep being evaluated while off.
    void SetOn(bool on);

    // On the refresh thread, for each table page: evaluates its rows and says which to mark.
    AlertMonitor::Review ReviewRows(std::span<const QuoteRecord> rows, const char* dataTime,
                                    bool fresh, const std::tm& now);
    // On the interface thread: tells the user of what fired (unless muted).
    void Tell(const std::vector<FiredAlert>& fired);

    // Clicks on the rows of `view` clear their marks. `headerRows` gives how many rows of the
    // page's table stand before the first quote.
    void WatchPage(QTextBrowser* view, std::function<int()> headerRows);

    AlertNotifier& Notifier() { return notifier_; }
    AlertMonitor& Monitor() { return monitor_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    SettingsFiles files_;
    std::atomic<bool> on_{true};
    AlertMonitor monitor_;
    AlertNotifier notifier_;
    QTextBrowser* view_ = nullptr;
    std::function<int()> headerRows_;
};

}  // namespace vemo
