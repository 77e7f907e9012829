// The ticker's commands: the hot key, the tray icon, the popup menu, the strip's buttons and the
// two dialogs the menu opens.
#include <QDialog>
#include <QMessageBox>
#include <QSystemTrayIcon>

#include "app/TickerTray.h"
#include "app/TickerWindow.h"
#include "app/UpgradeRunner.h"
#include "options/AboutBox.h"
#include "options/OptionsDialog.h"
#include "options/UrlOpener.h"
#include "platform/KeyMapping.h"
#include "platform/Platform.h"
#include "update/Endpoints.h"

namespace vemo {

namespace {

// Brings an open dialog to the front; false when there is none.
bool BringToFront(QDialog* dialog) {
    if (dialog == nullptr) {
        return false;
    }
    dialog->showNormal();
    dialog->raise();
    dialog->activateWindow();
    return true;
}

}  // namespace

void CTickerWindow::ShowFromTray() {
    SetTickerVisible(true);
    tray_->Icon()->show();
}

void CTickerWindow::OnHotKey() {
    if (isVisible()) {
        if ((settings_.Get().optionFlags & hotKeyHidesTrayIcon) != 0) {
            tray_->Icon()->hide();
        }
        SetTickerVisible(false);
    } else {
        tray_->Icon()->show();
        SetTickerVisible(true);
    }
}

void CTickerWindow::RegisterShowHideHotKey() {
    const TickerSettings settings = settings_.Get();
    if (!platform_.RegisterHotKey(HotKeyToQt(settings.hotKeyModifiers, settings.hotKeyVirtualKey))) {
        QMessageBox box(QMessageBox::Information, QStringLiteral("提示"),
                        QStringLiteral("热键设置失败,请重新设置。"), QMessageBox::Ok, this);
        box.exec();
    }
}

void CTickerWindow::PopUpMainMenu() {
    tray_->PopUpMainMenu();
}

void CTickerWindow::OnCommand(int id) {
    switch (id) {
        case CmdRefresh:
            cycle_->Request(refreshRequested);
            break;
        case CmdTransparent:
            ToggleTransparency();
            break;
        case CmdUpgrade:
            upgrade_->OnUpgradeCommand();
            break;
        case CmdSettings:
            RunOptionsDialog();
            break;
        case CmdAbout:
            RunAboutBox();
            break;
        case CmdHomePage:
            platform_.OpenLink(MakerUrl(HomePageUrl()));
            break;
        case CmdExit:
            if (isMinimized()) {
                showNormal();
            }
            close();
            break;
        default:
            break;
    }
}

void CTickerWindow::ActivateStripArea(StripArea area) {
    switch (area) {
        case StripArea::Hide:
            SetTickerVisible(false);
            break;
        case StripArea::Menu:
            PopUpMainMenu();
            break;
        case StripArea::Close:
            close();
            break;
        case StripArea::Refresh:
            cycle_->Request(refreshRequested);
            break;
        default:
            break;
    }
}

void CTickerWindow::RunOptionsDialog() {
    if (BringToFront(optionsDialog_)) {
        return;
    }
    // The dialog edits a private copy; the hot key is free while it runs, so it can be typed
    // into the dialog's capture field.
    TickerSettings copy = settings_.Get();
    platform_.UnregisterHotKey();
    COptionsDialog dialog(copy, paths_.settingsFiles, platform_);
    optionsDialog_ = &dialog;
    const int result = dialog.exec();
    if (ended_) {
        return;  // the run ended while the dialog was open
    }
    if (result == QDialog::Accepted) {
        ReplaceSettings(copy);
    }
    RegisterShowHideHotKey();
}

void CTickerWindow::RunAboutBox() {
    if (BringToFront(aboutBox_)) {
        return;
    }
    CAboutBox box(platform_);
    aboutBox_ = &box;
    box.exec();
}

}  // namespace vemo
