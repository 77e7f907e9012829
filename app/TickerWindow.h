#pragma once

#include <QIcon>
#include <QPoint>
#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <atomic>
#include <climits>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <thread>

#include "app/LiveHoldings.h"
#include "app/LiveSettings.h"
#include "app/RefreshCycle.h"
#include "app/SeeThrough.h"
#include "app/TickerTray.h"
#include "app/WindowLayout.h"
#include "settings/SettingsStore.h"
#include "update/UpdateSetup.h"

class QDialog;
class QLabel;
class QSystemTrayIcon;

namespace vemo {

class AlertCentre;
class CUpgradeRunner;
class CWebBrowser2;
class DesktopPlatform;

// Controls of the window, by the ids tests find them with (their objectName is the number).
enum TickerControl : int {
    IdNoticeLine = 1030,
    IdStripLeft = 1034,
    IdBrowser = 1036,
    IdStripFiller = 1037,
    IdRefreshButton = 1046,
    IdLoadingIndicator = 1047,
};

// The window's size before the first table is fitted: the dialog template's 137 x 47 units.
inline constexpr int InitialWidth = 206;
inline constexpr int InitialHeight = 71;

struct TickerPaths {
    SettingsFiles settingsFiles;
    std::filesystem::path pageFile;
    // The version check and the update; without an answer folder no request is made.
    UpdateSetup update;
};

// The ticker: a small frameless tool window that shows the quote table.
class CTickerWindow : public QWidget, private SeeThroughMode::Window {
    Q_OBJECT

  public:
    CTickerWindow(const TickerPaths& paths, DesktopPlatform& platform);
    ~CTickerWindow() override;

    CTickerWindow(const CTickerWindow&) = delete;
    CTickerWindow& operator=(const CTickerWindow&) = delete;

    // Loads the settings and window state, places the window, starts the refresh thread, the
    // tray icon and the hot key, and shows the window (unless it hides at start).
    void Start();

    // The local time by which timed refreshes are decided: the system clock unless replaced
    // (before Start) by one a test sets.
    using LocalClock = std::function<std::tm()>;
    void SetLocalClock(LocalClock clock);

    // What OK in the options dialog leads to: replaces the live settings as a whole, takes up
    // the new colours (also as the see-through key) and has the refresh thread apply the rest
    // (z-order, hover timer, request URL) and refresh at once.
    void ReplaceSettings(const TickerSettings& settings);
    // (Re)reads holdings.ini, naming on standard error each bad value not named before.
    void LoadHoldingsFile();

    // Ends the run as 退出 does (threads stopped, everything saved) and quits the application.
    void EndSession();

    // A double click on the tray icon, or a later start of the program: the window shows.
    void ShowFromTray();
    void OnHotKey();
    void OnCommand(int id);
    void SetTickerVisible(bool show);
    void ToggleTransparency();
    void RegisterShowHideHotKey();
    void PopUpMainMenu();
    // The Settings and About commands. Each runs its dialog modally; while it is open, the
    // command brings it to the front instead of opening a second one.
    void RunOptionsDialog();
    void RunAboutBox();

    // The popup menu 143, built afresh for each use.
    std::unique_ptr<QMenu> BuildMainMenu() const;

    int RefreshStateValue() const { return cycle_->refreshState.load(); }
    void SetRefreshState(RefreshState state) { cycle_->Request(state); }
    std::uint32_t SecondsSinceRefresh() const { return cycle_->SecondsSinceRefresh(); }
    TickerSettings Settings() const { return settings_.Get(); }
    bool TransparentMode() const { return seeThrough_->On(); }
    bool HoverTimerActive() const { return seeThrough_->HoverTimerActive(); }
    QSystemTrayIcon* TrayIcon() const { return tray_->Icon(); }
    CWebBrowser2* Browser() const { return browser_; }
    CUpgradeRunner* Upgrade() const { return upgrade_.get(); }
    AlertCentre* Alerts() const { return alerts_.get(); }
    // Puts the maker's notice into the notice line.
    void ShowNotice(const QString& text);
    // Makes the notice line a link to `link`: a click opens it in the web browser, once.
    void SetNoticeLink(const QUrl& link);
    bool NoticeLinkActive() const { return noticeLinkActive_; }

    WindowRect lastWindowRect{};

  signals:
    // A new page is on screen.
    void pageShown();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    class Host;
    friend class Host;

    // The title strip's pieces, and named buttons over its symbols for accessibility clients.
    void AddStrip();
    void AddStripButtons();
    // What a click on a part of the strip does (the drag area aside).
    void ActivateStripArea(StripArea area);
    // Gives the native window its class and task-bar state: at start, and for every new one.
    void DressNativeWindow();
    QColor BackgroundColour() const;
    void ApplyColours();
    void ApplyWindowSettings(const TickerSettings& settings);
    void FitWindowToTable(const TickerSettings& settings, int rows, int cols);
    void ShowPage(const QByteArray& page);
    // The page file cannot be written: the loading indicator says so instead of waiting.
    void ShowPageFileProblem();
    // The top left corner for a window of that size: where the user put it, moved up and left
    // as far as it takes to lie inside its screen's available area.
    QPoint PlaceOnScreen(int width, int height);
    void ShowOrHideAtStart();
    // The see-through mode's view of the window.
    QWidget& Widget() override { return *this; }
    QColor KeyColour() const override { return BackgroundColour(); }
    void SetStripVisible(bool visible) override;
    void SetTextAntialiasing(bool on) override;
    WindowRect ScreenRect() const override { return lastWindowRect; }
    void EndRun();
    bool OnWayland() const;

    TickerPaths paths_;
    DesktopPlatform& platform_;
    LiveSettings settings_;
    LiveHoldings holdings_;
    WindowState windowState_{};
    QIcon appIcon_;
    QLabel* stripLeft_ = nullptr;
    QLabel* stripFiller_ = nullptr;
    QLabel* refreshButton_ = nullptr;
    QLabel* loadingIndicator_ = nullptr;
    QLabel* noticeLine_ = nullptr;
    QUrl noticeLink_;
    bool noticeLinkActive_ = false;
    CWebBrowser2* browser_ = nullptr;
    TickerTray* tray_ = nullptr;
    int hideAtStartCount_ = 4;
    std::atomic<bool> visible_{false};
    QString currentTip_;
    bool manualDrag_ = false;
    QPoint dragOffset_;
    // Where the user put the window (saved at the end), and where the last fit placed it.
    QPoint chosenPosition_;
    QPoint placedPosition_{INT_MIN, INT_MIN};
    bool started_ = false;
    bool ended_ = false;

    QPointer<QDialog> optionsDialog_;
    QPointer<QDialog> aboutBox_;

    std::unique_ptr<SeeThroughMode> seeThrough_;
    std::unique_ptr<AlertCentre> alerts_;
    std::unique_ptr<Host> host_;
    std::unique_ptr<RefreshCycle> cycle_;
    std::thread refreshThread_;
    std::unique_ptr<CUpgradeRunner> upgrade_;
};

}  // namespace vemo
