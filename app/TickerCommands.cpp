// The ticker's commands: the hot key, the tray icon, the popup menu, the strip's buttons and the
// two dialogs the menu opens.
#include <QDialog>
#include <QMenu>
#include <QMessageBox>
#include <QSystemTrayIcon>

#include "app/AlertCentre.h"
#include "app/DesktopCheck.h"
#include "app/TickerTray.h"
#include "app/TickerWindow.h"
#include "app/UpgradeRunner.h"
#include "net/Endpoints.h"
#include "options/AboutBox.h"
#include "options/OptionsDialog.h"
#include "options/UrlOpener.h"
#include "platform/KeyMapping.h"
#include "platform/Platform.h"

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
    if (OnWayland()) {
        return;  // said once at the start; the tray menu shows the window instead
    }
    const TickerSettings settings = settings_.Get();
    if (!platform_.RegisterHotKey(HotKeyToQt(settings.hotKeyModifiers, settings.hotKeyVirtualKey))) {
        QMessageBox box(QMessageBox::Information, QStringLiteral("提示"),
                        QStringLiteral("热键设置失败,请重新设置。"), QMessageBox::Ok, this);
        box.exec();
    }
}

std::unique_ptr<QMenu> CTickerWindow::BuildMainMenu() const {
    return tray_->BuildMainMenu();
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
        case CmdAlerts:
            alerts_->SetOn(!alerts_->On());
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
            OpenInBrowser(platform_, MakerUrl(HomePageUrl()));
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
    COptionsDialog dialog(copy, paths_.settingsFiles, platform_, holdings_.Names());
    dialog.SetQuoteNames(holdings_.Names());
    optionsDialog_ = &dialog;
    const int result = dialog.exec();
    if (ended_) {
        return;  // the run ended while the dialog was open
    }
    if (result == QDialog::Accepted) {
        LoadHoldingsFile();  // before the refresh that the new settings start
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
