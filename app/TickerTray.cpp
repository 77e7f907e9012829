#include "app/TickerTray.h"

#include <QCursor>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QWidget>

#include <utility>

#include "settings/Version.h"

namespace vemo {

TickerTray::TickerTray(QWidget& window, std::function<MenuChecks()> checks)
    : QObject(&window), window_(window), checks_(std::move(checks)) {
    icon_ = new QSystemTrayIcon(QIcon(QStringLiteral(":/icons/142.png")), &window);
    icon_->setToolTip(QString::fromLatin1(VersionText));
    // Queued: the menu and the commands it starts (Exit removes the icon) run after the icon
    // has finished handling its own mouse event.
    connect(
        icon_, &QSystemTrayIcon::activated, this,
        [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::DoubleClick) {
                emit showRequested();
            } else if (reason == QSystemTrayIcon::Context) {
                PopUpMainMenu();
            }
        },
        Qt::QueuedConnection);
}

std::unique_ptr<QMenu> TickerTray::BuildMainMenu() const {
    const MenuChecks checks = checks_();
    auto menu = std::make_unique<QMenu>();
    struct Item {
        int id;
        const char* caption;
    };
    // The two empty entries are column breaks with a bar in the original menu; a separator
    // draws the same division in a one-column menu.
    const Item items[] = {
        {CmdRefresh, "刷新"},   {CmdMenuBreak1, nullptr}, {CmdTransparent, "透明"},
        {CmdAlerts, "提醒"},    {CmdUpgrade, "升级"},     {CmdSettings, "设置..."},
        {CmdHomePage, "主页..."}, {CmdAbout, "关于..."},  {CmdMenuBreak2, nullptr},
        {CmdExit, "退出"},
    };
    for (const Item& item : items) {
        QAction* action = item.caption == nullptr
                              ? menu->addSeparator()
                              : menu->addAction(QString::fromUtf8(item.caption));
        action->setData(item.id);
        if (item.id == CmdTransparent) {
            action->setCheckable(true);
            action->setChecked(checks.transparent);
        }
        if (item.id == CmdAlerts) {
            action->setCheckable(true);
            action->setChecked(checks.alerts);
        }
    }
    return menu;
}

void TickerTray::PopUpMainMenu() {
    const std::unique_ptr<QMenu> menu = BuildMainMenu();
    window_.raise();
    QAction* chosen = menu->exec(QCursor::pos());
    if (chosen != nullptr && !chosen->isSeparator()) {
        emit commandChosen(chosen->data().toInt());
    }
}

}  // namespace vemo
