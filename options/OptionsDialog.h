#pragma once

#include <QDialog>

#include "options/CodeLookup.h"
#include "options/UrlOpener.h"
#include "settings/SettingsStore.h"

class QLabel;
class QPushButton;
class QTabWidget;

namespace vemo {

class CCodesPage;
class CDisplayPage;
class CLinkLabel;
class CProxyPage;

// Controls of the dialog, by the ids tests find them with (their objectName is the number).
enum OptionsDialogControl : int {
    IdOkButton = 1,
    IdCancelButton = 2,
    IdTabs = 1028,
    IdStatusLine = 1030,
    IdFeedbackLink = 1055,
};

// The settings dialog: three pages in tabs ("常规", "我的VEMO", "连接"), a red status line, the
// feedback link, OK and Cancel. It edits only the caller's copy of the settings: OK checks the
// pages, and when they pass writes the copy, saves it and closes with Accepted; Cancel, Escape
// and the close box leave the copy as it was.
class COptionsDialog : public QDialog {
    Q_OBJECT

  public:
    // `names`: the codes' names from the window's last quotes, shown in the code list.
    COptionsDialog(TickerSettings& settingsCopy, const SettingsFiles& files,
                   const CodeNames& names = {}, QWidget* parent = nullptr);

    void ShowStatus(const QString& text);
    QString StatusText() const;

    // Where the feedback link and the code look-up open their pages.
    void SetUrlOpener(const UrlOpener& opener);

    CCodesPage* CodesPage() const { return codesPage_; }
    CDisplayPage* DisplayPage() const { return displayPage_; }
    CProxyPage* ProxyPage() const { return proxyPage_; }
    QTabWidget* Tabs() const { return tabs_; }
    CLinkLabel* FeedbackLink() const { return feedback_; }

  public slots:
    void accept() override;

  private:
    // Clears the status line once what it names is fixed.
    void RecheckStatus();

    TickerSettings& settingsCopy_;
    SettingsFiles files_;
    QTabWidget* tabs_ = nullptr;
    CCodesPage* codesPage_ = nullptr;
    CDisplayPage* displayPage_ = nullptr;
    CProxyPage* proxyPage_ = nullptr;
    QLabel* status_ = nullptr;
    CLinkLabel* feedback_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    UrlOpener openUrl_ = OpenInBrowser;
};

}  // namespace vemo
