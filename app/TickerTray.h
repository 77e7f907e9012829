#pragma once

#include <QObject>

#include <functional>
#include <memory>

class QMenu;
class QSystemTrayIcon;
class QWidget;

namespace vemo {

// Commands of the popup menu.
enum TickerCommand : int {
    CmdSettings = 32771,
    CmdAbout = 32772,
    CmdExit = 32773,
    CmdMenuBreak2 = 32774,
    CmdTransparent = 32775,
    CmdRefresh = 32778,
    CmdMenuBreak1 = 32779,
    CmdUpgrade = 32780,
    CmdHomePage = 32781,
    CmdAlerts = 32782,
};

// The switches the menu shows ticked.
struct MenuChecks {
    bool transparent = false;  // 透明
    bool alerts = false;       // 提醒
};

// The ticker's tray icon and its popup menu. What the user asks for comes out as signals; the
// window carries it out.
class TickerTray : public QObject {
    Q_OBJECT

  public:
    // `window` owns the icon and is raised when the menu pops up; `checks` is asked each time
    // the menu is built.
    TickerTray(QWidget& window, std::function<MenuChecks()> checks);

    QSystemTrayIcon* Icon() const { return icon_; }

    // The popup menu 143, built afresh for each use; each entry holds its command in its data.
    std::unique_ptr<QMenu> BuildMainMenu() const;
    // Pops the menu up at the mouse; a chosen entry comes out as commandChosen.
    void PopUpMainMenu();

  signals:
    // A double click on the icon.
    void showRequested();
    void commandChosen(int id);

  private:
    QWidget& window_;
    std::function<MenuChecks()> checks_;
    QSystemTrayIcon* icon_ = nullptr;
};

}  // namespace vemo
