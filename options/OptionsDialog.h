#pragma once

#include <QDialog>

#include <map>
#include <string>

#include "options/CodeLookup.h"
#include "options/UrlOpener.h"
#include "settings/AlertsFile.h"
#include "settings/PerCodeFile.h"
#include "settings/SettingsStore.h"

class QLabel;
class QPushButton;
class QTabWidget;

namespace vemo {

class CCodesPage;
class CDisplayPage;
class CHoldingsPage;
class CLinkLabel;
class CProxyPage;
class DesktopPlatform;

// Controls of the dialog, by the ids tests find them with (their objectName is the number).
enum OptionsDialogControl : int {
    IdOkButton = 1,
    IdCancelButton = 2,
    IdTabs = 1028,
    IdStatusLine = 1030,
    IdFeedbackLink = 1055,
};

// The settings dialog: four pages in tabs ("常规", "我的VEMO", "连接", "持仓与提醒"), a red
// status line, the feedback link, OK and Cancel. It edits only the caller's copy of the settings
// and the holdings and alerts files beside the per-user store: OK checks the pages, and when they
// pass writes the copy, saves it, the holdings and the alerts and closes with Accepted; Cancel,
// Escape and the close box leave all three as they were.
class COptionsDialog : public QDialog {
    Q_OBJECT

  public:
    // `names`: the codes' names from the window's last quotes, shown in the code list.
    COptionsDialog(TickerSettings& settingsCopy, const SettingsFiles& files,
                   DesktopPlatform& platform, const CodeNames& names = {},
                   QWidget* parent = nullptr);

    void ShowStatus(const QString& text);
    QString StatusText() const;

    // Where the feedback link and the code look-up open their pages.
    void SetUrlOpener(const UrlOpener& opener);

    CCodesPage* CodesPage() const { return codesPage_; }
    CDisplayPage* DisplayPage() const { return displayPage_; }
    CProxyPage* ProxyPage() const { return proxyPage_; }
    CHoldingsPage* HoldingsPage() const { return holdingsPage_; }
    // The names the holdings page shows beside the codes (code to UTF-8 name).
    void SetQuoteNames(const std::map<std::string, std::string>& names);
    QTabWidget* Tabs() const { return tabs_; }
    CLinkLabel* FeedbackLink() const { return feedback_; }

  public slots:
    void accept() override;

  private:
    // Clears the status line once what it names is fixed.
    void RecheckStatus();
    // Brings the holdings page's lines in line with the codes page's list.
    void SyncHoldingCodes();

    TickerSettings& settingsCopy_;
    SettingsFiles files_;
    QTabWidget* tabs_ = nullptr;
    CCodesPage* codesPage_ = nullptr;
    CDisplayPage* displayPage_ = nullptr;
    CProxyPage* proxyPage_ = nullptr;
    CHoldingsPage* holdingsPage_ = nullptr;
    PerCodeFile holdingsFile_;
    AlertsFile alertsFile_{PerCodeFile()};
    QLabel* status_ = nullptr;
    CLinkLabel* feedback_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    UrlOpener openUrl_;
};

}  // namespace vemo
