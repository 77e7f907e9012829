#pragma once

#include <QObject>

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
};

// The ticker's tray icon and its popup menu. What the user asks for comes out as signals; the
// window carries it out.
class TickerTray : public QObject {
    Q_OBJECT

  public:
    // `window` owns the icon and is raised when the menu pops up.
    explicit TickerTray(QWidget& window);

    QSystemTrayIcon* Icon() const { return icon_; }

    // The popup menu 143, built afresh for each use; each entry holds its command in its data.
    static std::unique_ptr<QMenu> BuildMainMenu();
    // Pops the menu up at the mouse; a chosen entry comes out as commandChosen.
    void PopUpMainMenu();

  signals:
    // A double click on the icon.
    void showRequested();
    void commandChosen(int id);

  private:
    QWidget& window_;
    QSystemTrayIcon* icon_ = nullptr;
};

}  // namespace vemo
