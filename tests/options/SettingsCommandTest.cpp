// The ticker's Settings and About commands in process, on a private X server, against the
// market simulator.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <functional>

#include "app/TickerWindow.h"
#include "options/AboutBox.h"
#include "options/CodesPage.h"
#include "options/ColourSwatch.h"
#include "options/DisplayPage.h"
#include "options/OptionsDialog.h"
#include "platform/fake/FakePlatform.h"
#include "tests/support/TestFiles.h"
#include "tools/marketsim/MarketSim.h"

namespace vemo {
namespace {

// Runs `work` on the modal dialog of type D as soon as it is open, from inside its own loop.
template <typename D>
void WhenOpen(std::function<void(D&)> work) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, work] {
        if (auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            work(*dialog);
        }
    });
    timer->start();
}

template <typename D>
int OpenCount() {
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        count += qobject_cast<D*>(widget) != nullptr && widget->isVisible() ? 1 : 0;
    }
    return count;
}

class SettingsCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(sim.Start(0), 0);
        sim.SetMoving(false);
        TickerSettings settings = DefaultTickerSettings();
        std::strcpy(settings.codeList, ",600000,000002");
        settings.proxyMode = proxyUseServer;
        std::snprintf(settings.proxyServer, sizeof settings.proxyServer, "127.0.0.1:%u",
                      static_cast<unsigned>(sim.Port()));
        paths.settingsFiles = {dir.path() / "vemo.ini", dir.path() / "registry"};
        paths.pageFile = dir.path() / "vemotmp.htm";
        SaveSettings(settings, paths.settingsFiles);
        window = std::make_unique<CTickerWindow>(paths, platform);
        QSignalSpy shown(window.get(), &CTickerWindow::pageShown);
        window->Start();
        ASSERT_TRUE(shown.wait(15000));
    }
    void TearDown() override { window.reset(); }

    QColor LoadingBackground() const {
        return window->findChild<QLabel*>(QString::number(IdLoadingIndicator))
            ->palette()
            .color(QPalette::Window);
    }

    test::TempDir dir;
    MarketSimulator sim;
    TickerPaths paths;
    FakePlatform platform;
    std::unique_ptr<CTickerWindow> window;
};

TEST_F(SettingsCommandTest, OkReplacesTheSettingsAndRefitsTheWindow) {
    const int heightBefore = window->height();
    int dialogsWhileOpen = 0;
    WhenOpen<COptionsDialog>([&](COptionsDialog& dialog) {
        window->OnCommand(CmdSettings);  // brings the open one forward
        dialogsWhileOpen = OpenCount<COptionsDialog>();
        dialog.CodesPage()->Entry()->setText(QStringLiteral("1A0001"));
        dialog.CodesPage()->Add();
        dialog.DisplayPage()->Box(IdCustomColours)->setChecked(true);
        dialog.DisplayPage()->Swatch(IdBackgroundSwatch)->SetColour(0xDDEEFF);
        dialog.accept();
    });
    QSignalSpy shown(window.get(), &CTickerWindow::pageShown);
    window->OnCommand(CmdSettings);
    EXPECT_EQ(dialogsWhileOpen, 1);
    EXPECT_EQ(OpenCount<COptionsDialog>(), 0);

    EXPECT_STREQ(window->Settings().codeList, ",600000,000002,1A0001");
    EXPECT_EQ(LoadingBackground(), QColor(0xFF, 0xEE, 0xDD));
    TickerSettings saved{};
    ASSERT_EQ(LoadSettings(saved, paths.settingsFiles), 1);
    EXPECT_STREQ(saved.codeList, ",600000,000002,1A0001");
    // The refresh thread applies the change at once: a new page, one row taller.
    ASSERT_TRUE(shown.wait(15000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->height() == heightBefore + 18; }, 5000))
        << window->height() << " after " << heightBefore;
}

TEST_F(SettingsCommandTest, TheCodeListNamesCodesFromTheLastQuotes) {
    QStringList entries;
    WhenOpen<COptionsDialog>([&](COptionsDialog& dialog) {
        const QListWidget* list = dialog.CodesPage()->List();
        for (int row = 0; row < list->count(); ++row) {
            entries << list->item(row)->text();
        }
        dialog.reject();
    });
    window->OnCommand(CmdSettings);
    EXPECT_EQ(entries, (QStringList{"600000 浦发银行", "000002 万科Ａ"}));
}

TEST_F(SettingsCommandTest, CancelLeavesEverythingAndTransparencyOutlivesOk) {
    window->ToggleTransparency();
    const std::string iniBefore = test::ReadBytes(paths.settingsFiles.iniFile);
    WhenOpen<COptionsDialog>([](COptionsDialog& dialog) {
        dialog.CodesPage()->Entry()->setText(QStringLiteral("1A0001"));
        dialog.CodesPage()->Add();
        dialog.reject();
    });
    window->OnCommand(CmdSettings);
    EXPECT_STREQ(window->Settings().codeList, ",600000,000002");
    EXPECT_EQ(test::ReadBytes(paths.settingsFiles.iniFile), iniBefore);
    EXPECT_TRUE(window->TransparentMode());

    WhenOpen<COptionsDialog>([](COptionsDialog& dialog) {
        dialog.DisplayPage()->Box(IdCustomColours)->setChecked(true);
        dialog.DisplayPage()->Swatch(IdBackgroundSwatch)->SetColour(0x102030);
        dialog.accept();
    });
    window->OnCommand(CmdSettings);
    // Off and on again with the new colour as the see-through key.
    EXPECT_TRUE(window->TransparentMode());
    EXPECT_FALSE(window->mask().isEmpty());
    EXPECT_EQ(LoadingBackground(), QColor(0x30, 0x20, 0x10));
}

TEST_F(SettingsCommandTest, AboutBoxIsNotOpenedTwice) {
    int boxesWhileOpen = 0;
    WhenOpen<CAboutBox>([&](CAboutBox& box) {
        window->OnCommand(CmdAbout);
        boxesWhileOpen = OpenCount<CAboutBox>();
        box.accept();
    });
    window->OnCommand(CmdAbout);
    EXPECT_EQ(boxesWhileOpen, 1);
    EXPECT_EQ(OpenCount<CAboutBox>(), 0);
}

}  // namespace
}  // namespace vemo
