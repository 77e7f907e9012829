#include <gtest/gtest.h>

#include <xcb/xcb.h>
#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QTest>
#include <QToolTip>
#include <QWindow>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include <fstream>
#include <iterator>

#include "app/AlertCentre.h"
#include "app/TickerWindow.h"
#include "app/WindowLayout.h"
#include "app/browser/WebBrowser2.h"
#include "platform/fake/FakePlatform.h"
#include "platform/x11/X11Platform.h"
#include "settings/AlertSwitch.h"
#include "tools/marketsim/MarketSim.h"

namespace vemo {
namespace {

namespace fs = std::filesystem;

namespace test {
void WriteFile(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}
std::string ReadFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
}  // namespace test

class TickerWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/vemo-window-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        ASSERT_EQ(sim.Start(0), 0);
        sim.SetMoving(false);
        settings = DefaultTickerSettings();
        std::strcpy(settings.codeList, ",600000,000002,1A0001");
        settings.proxyMode = 1;
        std::snprintf(settings.proxyServer, sizeof settings.proxyServer, "127.0.0.1:%u",
                      static_cast<unsigned>(sim.Port()));
        paths.settingsFiles = {dir / "vemo.ini", dir / "registry"};
        paths.pageFile = dir / "vemotmp.htm";
    }
    void TearDown() override {
        window.reset();
        fs::remove_all(dir);
    }

    // Starts the window over the prepared settings and waits for its first page.
    void StartAndShowFirstPage() {
        SaveSettings(settings, paths.settingsFiles);
        window = std::make_unique<CTickerWindow>(paths, *platform);
        QSignalSpy shown(window.get(), &CTickerWindow::pageShown);
        window->Start();
        ASSERT_TRUE(shown.wait(15000));
    }

    template <typename T>
    T* Control(int id) const {
        return window->findChild<T*>(QString::number(id));
    }

    void UseX11() {
        x11 = std::make_unique<X11Platform>();
        platform = x11.get();
    }

    void MoveMouse(QPoint at) {
        QMouseEvent move(QEvent::MouseMove, at, window->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(window.get(), &move);
    }

    fs::path dir;
    MarketSimulator sim;
    TickerSettings settings{};
    TickerPaths paths;
    // The windows run on the fake desktop; a test of what X11 makes of them switches to the real
    // one before the window is made.
    FakePlatform fake;
    std::unique_ptr<X11Platform> x11;
    DesktopPlatform* platform = &fake;
    std::unique_ptr<CTickerWindow> window;
};

TEST_F(TickerWindowTest, FitsTheWindowAndPlacesItsChildren) {
    struct Case {
        const char* codes;
        int fontSize;
        std::uint32_t pageContent;
        QSize window;
        QRect browser;  // and the loading indicator
        QRect noticeLine;
        QRect filler;
        QRect refreshButton;
    };
    // Worked out by hand: width 20 + column x columns; height row x rows + 35, + row for the
    // time line, + row + 2 for the header.
    const Case cases[] = {
        // Size 1 (18 x 55): 3 rows and 4 columns with header and time line.
        {",600000,000002,1A0001", 1,
         showName | showPrice | showChangeAmount | showChangePercent | showHeader | showRefreshTime,
         QSize(240, 127), QRect(0, 15, 240, 97), QRect(5, 112, 235, 15), QRect(50, 0, 170, 15),
         QRect(220, 0, 20, 15)},
        // Size 4 (21 x 71): one row and one column, neither header nor time line.
        {",600000", 4, showName, QSize(91, 56), QRect(0, 15, 91, 26), QRect(5, 41, 86, 15),
         QRect(50, 0, 21, 15), QRect(71, 0, 20, 15)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.codes);
        std::strcpy(settings.codeList, c.codes);
        settings.fontSize = c.fontSize;
        settings.pageContent = c.pageContent;
        StartAndShowFirstPage();
        EXPECT_EQ(window->size(), c.window);
        EXPECT_EQ(Control<CWebBrowser2>(IdBrowser)->geometry(), c.browser);
        EXPECT_EQ(Control<QLabel>(IdLoadingIndicator)->geometry(), c.browser);
        EXPECT_EQ(Control<QLabel>(IdNoticeLine)->geometry(), c.noticeLine);
        EXPECT_EQ(Control<QLabel>(IdStripFiller)->geometry(), c.filler);
        EXPECT_EQ(Control<QLabel>(IdRefreshButton)->geometry(), c.refreshButton);
        EXPECT_EQ(Control<QLabel>(IdStripLeft)->geometry(), QRect(0, 0, 50, 15));
        EXPECT_FALSE(Control<QLabel>(IdLoadingIndicator)->isVisible());
        EXPECT_TRUE(
            Control<CWebBrowser2>(IdBrowser)->toPlainText().contains(QStringLiteral("浦发银行")));
        EXPECT_TRUE(fs::exists(paths.pageFile));
        window.reset();
    }
}

TEST_F(TickerWindowTest, NoticeTextIsTheComplementOfTheBackground) {
    StartAndShowFirstPage();
    EXPECT_EQ(Control<QLabel>(IdNoticeLine)->palette().color(QPalette::WindowText),
              QColor(0x00, 0x00, 0x18));
    EXPECT_EQ(Control<QLabel>(IdLoadingIndicator)->palette().color(QPalette::Window),
              QColor(0xFF, 0xFF, 0xE6));
    window.reset();

    settings.optionFlags |= customColors;
    settings.backgroundColor = 0x123456;
    StartAndShowFirstPage();
    // 0x01FEFFFF - 0x123456 = 0x01ECCBA9: red A9, green CB, blue EC.
    EXPECT_EQ(Control<QLabel>(IdNoticeLine)->palette().color(QPalette::WindowText),
              QColor(0xA9, 0xCB, 0xEC));
    EXPECT_EQ(Control<QLabel>(IdNoticeLine)->palette().color(QPalette::Window),
              QColor(0x56, 0x34, 0x12));
}

TEST_F(TickerWindowTest, OnWaylandNeitherHotKeyNorSeeThroughIsTried) {
    fake.onWayland = true;
    StartAndShowFirstPage();
    EXPECT_EQ(fake.hotKeyRegistrations, 0);
    window->ToggleTransparency();
    EXPECT_FALSE(window->TransparentMode());
    EXPECT_EQ(fake.masksSet, 0);
    // Whatever the dialog's OK does, it does not try the hot key either.
    window->RegisterShowHideHotKey();
    EXPECT_EQ(fake.hotKeyRegistrations, 0);
}

TEST_F(TickerWindowTest, MenuHoldsTheCommandsInOrder) {
    StartAndShowFirstPage();
    const std::unique_ptr<QMenu> menu = window->BuildMainMenu();
    QStringList captions;
    QList<int> ids;
    for (QAction* action : menu->actions()) {
        captions << (action->isSeparator() ? QStringLiteral("-") : action->text());
        ids << action->data().toInt();
    }
    EXPECT_EQ(captions, (QStringList{"刷新", "-", "透明", "提醒", "升级", "设置...", "主页...",
                                     "关于...", "-", "退出"}));
    EXPECT_EQ(ids,
              (QList<int>{32778, 32779, 32775, 32782, 32780, 32771, 32781, 32772, 32774, 32773}));
    // 透明 and 提醒 carry check marks, which show their state; 提醒 is on from the start.
    const auto checkedOf = [](QMenu& shown) {
        QList<int> checked;
        for (QAction* action : shown.actions()) {
            const int id = action->data().toInt();
            EXPECT_EQ(action->isCheckable(), id == CmdTransparent || id == CmdAlerts) << id;
            if (action->isChecked()) {
                checked << id;
            }
        }
        return checked;
    };
    EXPECT_EQ(checkedOf(*menu), QList<int>{CmdAlerts});
    window->ToggleTransparency();
    EXPECT_EQ(checkedOf(*window->BuildMainMenu()), (QList<int>{CmdTransparent, CmdAlerts}));
    window->ToggleTransparency();
    EXPECT_EQ(checkedOf(*window->BuildMainMenu()), QList<int>{CmdAlerts});
}

TEST_F(TickerWindowTest, AlertsItemIsCheckedUntilTurnedOffAndRemembered) {
    StartAndShowFirstPage();
    const auto alertsItem = [this] {
        const std::unique_ptr<QMenu> menu = window->BuildMainMenu();
        const QAction* action = menu->actions().at(3);
        EXPECT_TRUE(action->isCheckable());
        return action->isChecked();
    };
    EXPECT_TRUE(alertsItem());
    window->OnCommand(CmdAlerts);
    EXPECT_FALSE(alertsItem());
    EXPECT_FALSE(LoadAlertsOn(paths.settingsFiles));
    window.reset();
    // A new start finds it off.
    window = std::make_unique<CTickerWindow>(paths, *platform);
    window->Start();
    EXPECT_FALSE(alertsItem());
    window->OnCommand(CmdAlerts);
    EXPECT_TRUE(LoadAlertsOn(paths.settingsFiles));
}

TEST_F(TickerWindowTest, AFiredAlertMarksItsRowUntilTheRowIsClicked) {
    SimQuote quote;
    quote.name = "浦发银行";
    quote.prevClose = 10.0;
    quote.open = 10.0;
    quote.price = 10.52;
    quote.high = 10.6;
    quote.low = 9.9;
    ASSERT_EQ(sim.SetQuote("sh600000", quote), 0);
    test::WriteFile(dir / "alerts.ini", "[600000]\nabove=10.50\n[000002]\nabove=999\n");
    const std::string plainRow = "<tr align=\"right\" class=\"cup\">";
    const std::string markedRow = "<tr align=\"right\" class=\"cup\" bgcolor=";

    SaveSettings(settings, paths.settingsFiles);
    window = std::make_unique<CTickerWindow>(paths, *platform);
    QSignalSpy told(&window->Alerts()->Notifier(), &AlertNotifier::shown);
    QSignalSpy shown(window.get(), &CTickerWindow::pageShown);
    window->Start();
    ASSERT_TRUE(shown.wait(15000));
    const std::string page = test::ReadFile(paths.pageFile);
    const std::size_t firstRow = page.find("<tr align=\"right\"");
    ASSERT_NE(firstRow, std::string::npos);
    EXPECT_EQ(page.compare(firstRow, markedRow.size(), markedRow), 0);
    // One alert, told somewhere (no notification service or tray here: the row alone).
    EXPECT_TRUE(told.size() == 1 || told.wait(10000));
    EXPECT_EQ(told.size(), 1);

    // The first quote row of the page (after the header and its line) is the marked one.
    CWebBrowser2* browser = window->Browser();
    QTextTable* table = browser->document()->rootFrame()->firstCursorPosition().currentTable();
    if (table == nullptr) {
        QTextCursor cursor(browser->document());
        cursor.movePosition(QTextCursor::NextBlock);
        table = cursor.currentTable();
    }
    ASSERT_NE(table, nullptr);
    EXPECT_NE(table->cellAt(2, 0).format().background().style(), Qt::NoBrush);
    const QRect cell = browser->cursorRect(table->cellAt(2, 1).firstCursorPosition());
    QTest::mouseClick(browser->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    EXPECT_EQ(table->cellAt(2, 0).format().background().style(), Qt::NoBrush);

    // The next page has the row plain again, and nothing is told twice.
    shown.clear();
    QTest::qWait(5200);  // a refresh within 5 seconds of the last is dropped
    window->OnCommand(CmdRefresh);
    ASSERT_TRUE(shown.wait(15000));
    const std::string again = test::ReadFile(paths.pageFile);
    EXPECT_EQ(again.find(markedRow), std::string::npos);
    EXPECT_NE(again.find(plainRow), std::string::npos);
    EXPECT_EQ(told.size(), 1);
}

TEST_F(TickerWindowTest, StripTipsChangeWithTheArea) {
    StartAndShowFirstPage();
    MoveMouse(QPoint(window->width() - 10, 5));
    EXPECT_EQ(QToolTip::text(), QStringLiteral("刷新(距上次刷新不到 5 秒)"));
    MoveMouse(QPoint(22, 5));
    EXPECT_EQ(QToolTip::text(), QStringLiteral("隐藏"));
    MoveMouse(QPoint(40, 5));
    EXPECT_EQ(QToolTip::text(), QStringLiteral("菜单"));
    // The rest of the strip has no tip: the shown one goes.
    MoveMouse(QPoint(60, 5));
    QElapsedTimer waited;
    waited.start();
    while (QToolTip::isVisible() && waited.elapsed() < 3000) {
        QTest::qWait(20);
    }
    EXPECT_FALSE(QToolTip::isVisible());
}

TEST_F(TickerWindowTest, RefreshTipNamesCodesWithoutQuote) {
    std::strcpy(settings.codeList, ",600000,999999");
    StartAndShowFirstPage();
    MoveMouse(QPoint(window->width() - 10, 5));
    EXPECT_EQ(QToolTip::text(), QStringLiteral("刷新(距上次刷新不到 5 秒；没有行情: 999999)"));
}

TEST_F(TickerWindowTest, RefreshButtonRequestsARefresh) {
    StartAndShowFirstPage();
    EXPECT_EQ(window->RefreshStateValue(), idle);
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(window->width() - 10, 5));
    EXPECT_EQ(window->RefreshStateValue(), refreshRequested);
}

// Waits up to `ms` of real time, handling events, until the simulator has seen a request.
bool ServiceAskedWithin(MarketSimulator& sim, int ms) {
    QElapsedTimer waited;
    waited.start();
    while (sim.Requests().empty() && waited.elapsed() < ms) {
        QTest::qWait(20);
    }
    return !sim.Requests().empty();
}

TEST_F(TickerWindowTest, AWindowShownAfterSkippedRefreshesAsksAtOnce) {
    settings.refreshSeconds = 10;
    window = std::make_unique<CTickerWindow>(paths, *platform);
    window->SetLocalClock([] {
        std::tm monday{};
        monday.tm_year = 126;
        monday.tm_mon = 11;
        monday.tm_mday = 7;
        monday.tm_wday = 1;
        monday.tm_hour = 10;
        return monday;
    });
    SaveSettings(settings, paths.settingsFiles);
    QSignalSpy shown(window.get(), &CTickerWindow::pageShown);
    window->Start();
    ASSERT_TRUE(shown.wait(15000));
    window->hide();
    sim.ClearRequests();
    // The timed refresh comes and goes while hidden: no request.
    QTest::qWait(11000);
    EXPECT_TRUE(sim.Requests().empty());
    // Shown by any way at all (here without the show command's own request).
    window->show();
    EXPECT_TRUE(ServiceAskedWithin(sim, 1000));
}

TEST_F(TickerWindowTest, HotKeyHidesTheTrayIconOnlyWhenAsked) {
    settings.optionFlags |= hotKeyHidesTrayIcon;
    StartAndShowFirstPage();
    // The hide button leaves the tray icon in place.
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(22, 5));
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(window->TrayIcon()->isVisible());
    emit window->TrayIcon()->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->isVisible(); }, 3000));

    fake.PressHotKey();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->TrayIcon()->isVisible());
    fake.PressHotKey();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->TrayIcon()->isVisible());
    EXPECT_EQ(window->RefreshStateValue(), refreshRequested);
}

TEST_F(TickerWindowTest, TheDesktopHoldsTheStoredHotKeyAndTheClassWhileTheWindowRuns) {
    settings.hotKeyModifiers = ModControl | ModShift;
    settings.hotKeyVirtualKey = 0x70;  // F1
    StartAndShowFirstPage();
    EXPECT_EQ(fake.hotKey, QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_F1));
    EXPECT_EQ(fake.dressedWindows, QStringList{"VEMO/VemoMFrame"});

    // Hidden, it gives memory back once it is off the screen.
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(22, 5));
    EXPECT_EQ(fake.trims, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return fake.trims == 1; }, 3000));
    window->SetTickerVisible(true);

    // A new native window for the on-top change is dressed like the first.
    TickerSettings changed = window->Settings();
    changed.optionFlags &= ~alwaysOnTop;
    QSignalSpy shown(window.get(), &CTickerWindow::pageShown);
    window->ReplaceSettings(changed);
    ASSERT_TRUE(shown.wait(15000));
    EXPECT_EQ(fake.dressedWindows, (QStringList{"VEMO/VemoMFrame", "VEMO/VemoMFrame"}));

    window->close();
    EXPECT_EQ(fake.hotKey.key(), Qt::Key(0));
}

TEST_F(TickerWindowTest, AHotKeyTheDesktopRefusesIsReported) {
    fake.refuseHotKey = true;
    QString shownText;
    QTimer closer;
    closer.setInterval(20);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shownText = box->windowTitle() + QLatin1Char('|') + box->text();
            box->accept();
        }
    });
    closer.start();
    SaveSettings(settings, paths.settingsFiles);
    window = std::make_unique<CTickerWindow>(paths, *platform);
    window->Start();  // the message is modal: Start returns when it has been answered
    EXPECT_EQ(shownText, QStringLiteral("提示|热键设置失败,请重新设置。"));
    EXPECT_EQ(fake.hotKeyRegistrations, 1);
}

TEST_F(TickerWindowTest, TheNoticeLinkOpensThroughTheDesktopOnce) {
    StartAndShowFirstPage();
    window->ShowNotice(QStringLiteral("公告"));
    window->SetNoticeLink(QUrl(QStringLiteral("http://www.quorvane.com/notice")));
    const QPoint line = Control<QLabel>(IdNoticeLine)->geometry().center();
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, line);
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, line);
    EXPECT_EQ(fake.openedLinks, QList<QUrl>{QUrl(QStringLiteral("http://www.quorvane.com/notice"))});
    EXPECT_TRUE(Control<QLabel>(IdNoticeLine)->text().isEmpty());
}

TEST_F(TickerWindowTest, CloseAreaEndsTheRunAndSavesTheState) {
    StartAndShowFirstPage();
    window->move(200, 150);
    QApplication::processEvents();
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(window->isVisible());
    WindowState state{};
    ASSERT_EQ(LoadWindowState(state, paths.settingsFiles), 1);
    EXPECT_EQ(state.windowRect.left, 200);
    EXPECT_EQ(state.windowRect.top, 150);
    EXPECT_EQ(state.windowRect.right, 200 + window->width());
    EXPECT_EQ(state.transparent, 0);
}

TEST_F(TickerWindowTest, SavedPositionIsUsedOnlyOnTheScreen) {
    // The window starts centred at its first size, 206 x 71, on the 1280 x 1024 screen.
    const QPoint centred((1280 - 206) / 2, (1024 - 71) / 2);
    WindowState state{};
    // Left 0 and top beyond the screen, then the screen's own width and height: all ignored.
    for (const WindowRect& off : {WindowRect{0, 5000, 100, 5100}, WindowRect{1280, 1024, 0, 0}}) {
        state.windowRect = off;
        SaveWindowState(state, paths.settingsFiles);
        StartAndShowFirstPage();
        EXPECT_EQ(window->pos(), centred) << off.left << "," << off.top;
        window.reset();
    }

    state.windowRect = {321, 123, 400, 200};
    SaveWindowState(state, paths.settingsFiles);
    StartAndShowFirstPage();
    EXPECT_EQ(window->pos(), QPoint(321, 123));
}

TEST_F(TickerWindowTest, TransparencyKeysOutTheBackground) {
    StartAndShowFirstPage();
    window->ToggleTransparency();
    EXPECT_TRUE(window->TransparentMode());
    EXPECT_FALSE(Control<QLabel>(IdStripLeft)->isVisible());
    const QRegion mask = window->mask();
    ASSERT_FALSE(mask.isEmpty());
    // The background below the table is cut out; the table's text is not.
    EXPECT_FALSE(mask.contains(QPoint(window->width() / 2, window->height() - 4)));
    EXPECT_LT(mask.boundingRect().height() * mask.boundingRect().width(),
              window->width() * window->height());
    window->ToggleTransparency();
    EXPECT_TRUE(window->mask().isEmpty());
    EXPECT_TRUE(Control<QLabel>(IdStripLeft)->isVisible());
}

// What the X server shows of the window, pixel for pixel.
QImage OnScreen(const QWidget& window) {
    return window.screen()
        ->grabWindow(0, window.x(), window.y(), window.width(), window.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

// Pixels where two images of the same size differ.
int DifferingPixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) {
        return a.width() * a.height();
    }
    int count = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            count += a.pixel(x, y) != b.pixel(x, y);
        }
    }
    return count;
}

TEST_F(TickerWindowTest, TransparencyShowsTheCurrentPageWholeOnAndOff) {
    // A timed refresh while transparent, on a Monday morning, with quotes of that day.
    UseX11();  // what the X server shows
    settings.refreshSeconds = 10;
    sim.SetTime(SimTime{2026, 12, 7, 10, 0, 0});
    QCursor::setPos(1, 1);
    window = std::make_unique<CTickerWindow>(paths, *platform);
    window->SetLocalClock([] {
        std::tm monday{};
        monday.tm_year = 126;
        monday.tm_mon = 11;
        monday.tm_mday = 7;
        monday.tm_wday = 1;
        monday.tm_hour = 10;
        return monday;
    });
    SaveSettings(settings, paths.settingsFiles);
    QSignalSpy shown(window.get(), &CTickerWindow::pageShown);
    window->Start();
    ASSERT_TRUE(shown.wait(15000));
    window->ToggleTransparency();

    SimQuote quote;
    quote.prevClose = 7.5;
    quote.open = 7.5;
    quote.price = 8.88;
    quote.high = 8.88;
    quote.low = 7.5;
    quote.volume = 100;
    quote.amount = 888;
    ASSERT_EQ(sim.SetQuote("sh600000", quote), 0);
    ASSERT_TRUE(shown.wait(15000));
    ASSERT_TRUE(window->Browser()->toPlainText().contains(QStringLiteral("8.88")));
    QTest::qWait(500);
    // Where the window shows, it shows the new page.
    const QImage page = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage transparent = OnScreen(*window);
    const QRegion mask = window->mask();
    int stale = 0;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            stale += mask.contains(QPoint(x, y)) && page.pixel(x, y) != transparent.pixel(x, y);
        }
    }
    EXPECT_EQ(stale, 0);

    // Switched off, the whole window shows it, with nothing left of the old prices.
    window->ToggleTransparency();
    QTest::qWait(300);
    const QImage opaque = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(DifferingPixels(OnScreen(*window), opaque), 0);
}

TEST_F(TickerWindowTest, TransparentTextIsTheTextsColourOrTheKey) {
    StartAndShowFirstPage();
    Control<QLabel>(IdNoticeLine)->setText(QStringLiteral("公告 notice"));
    window->ToggleTransparency();
    // The page's colours, the separator, the notice line's complement of the background, and
    // the white outline of the page's dark text.
    const QList<QColor> colours = {
        QColor(0xFF, 0xFF, 0xE6), Qt::black,          Qt::blue,          Qt::red,
        QColor(0, 0x99, 0),       QColor(0, 0, 0xCC), QColor(0, 0, 0x18), Qt::white};
    const QImage image = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int blended = 0;
    int outline = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            blended += !colours.contains(image.pixelColor(x, y));
            outline += image.pixelColor(x, y) == Qt::white;
        }
    }
    EXPECT_EQ(blended, 0);
    EXPECT_GT(outline, 100);
}

TEST_F(TickerWindowTest, ANoticeArrivingWhileTransparentShowsAtOnce) {
    StartAndShowFirstPage();
    window->ToggleTransparency();
    const QRect line = Control<QLabel>(IdNoticeLine)->geometry();
    const auto shownInLine = [&] { return window->mask().intersects(line); };
    EXPECT_FALSE(shownInLine());
    window->ShowNotice(QStringLiteral("公告 notice"));
    EXPECT_TRUE(shownInLine());
}

TEST_F(TickerWindowTest, ALongListLowOnTheScreenMovesUpToBeWholeAndKeepsTheChosenPlace) {
    std::strcpy(settings.codeList,
                ",600000,600028,600030,600036,600519,600900,601006,601318,601398,601857,688981"
                ",000001,000002,000333,000651,000858,002415,002594,300015,300059,300750,300760"
                ",399001,399005,399006,399106,399330,510050,510300,1A0001");
    WindowState state{};
    state.windowRect = {1200, 900, 1385, 1063};
    SaveWindowState(state, paths.settingsFiles);
    StartAndShowFirstPage();

    const QRect area = window->screen()->availableGeometry();
    const TableLayout fitted = LayoutForTable(30, 3, 1, settings.pageContent);
    ASSERT_EQ(window->size(), QSize(fitted.width, fitted.height));
    EXPECT_EQ(window->geometry().bottomRight(), area.bottomRight());
    EXPECT_EQ(window->lastWindowRect.top, area.bottom() + 1 - fitted.height);

    // The place the user chose is what is saved, not where the list had to go.
    window->close();
    ASSERT_EQ(LoadWindowState(state, paths.settingsFiles), 1);
    EXPECT_EQ(state.windowRect.left, 1200);
    EXPECT_EQ(state.windowRect.top, 900);
}

TEST_F(TickerWindowTest, AnUnwritablePageFileIsNotShownAndTheWindowSaysWhy) {
    paths.pageFile = dir / "gone" / "vemotmp.htm";
    SaveSettings(settings, paths.settingsFiles);
    window = std::make_unique<CTickerWindow>(paths, *platform);
    QSignalSpy shown(window.get(), &CTickerWindow::pageShown);
    window->Start();
    auto* indicator = Control<QLabel>(IdLoadingIndicator);
    QElapsedTimer waited;
    waited.start();
    while (!indicator->text().startsWith(QStringLiteral("无法写入页面文件")) &&
           waited.elapsed() < 15000) {
        QTest::qWait(50);
    }
    EXPECT_TRUE(indicator->text().startsWith(QStringLiteral("无法写入页面文件\n")))
        << indicator->text().toStdString();
    EXPECT_EQ(indicator->toolTip(), QString::fromStdString(paths.pageFile.string()));
    EXPECT_TRUE(indicator->isVisible());
    // The table was fitted, but no page was navigated to.
    EXPECT_EQ(window->size(), QSize(185, 127));
    EXPECT_EQ(shown.count(), 0);
    EXPECT_TRUE(window->Browser()->toPlainText().isEmpty());

    // Once the file can be written, the page comes and the indicator goes.
    fs::create_directory(dir / "gone");
    window->SetRefreshState(settingsChanged);
    ASSERT_TRUE(shown.wait(15000));
    EXPECT_FALSE(indicator->isVisible());
    EXPECT_EQ(indicator->text(), QStringLiteral("Loading..."));
    EXPECT_TRUE(window->Browser()->toPlainText().contains(QStringLiteral("浦发银行")));
}

// Every accessible object below `node`, depth first.
void CollectAccessible(QAccessibleInterface* node, QList<QAccessibleInterface*>& all) {
    for (int i = 0; i < node->childCount(); ++i) {
        if (QAccessibleInterface* child = node->child(i)) {
            all.append(child);
            CollectAccessible(child, all);
        }
    }
}

TEST_F(TickerWindowTest, AccessibilityClientsSeeFourNamedButtonsAndTheQuotesAsText) {
    StartAndShowFirstPage();
    QList<QAccessibleInterface*> all;
    CollectAccessible(QAccessible::queryAccessibleInterface(window.get()), all);

    QMap<QString, QAccessibleInterface*> buttons;
    QAccessibleInterface* quotes = nullptr;
    for (QAccessibleInterface* node : all) {
        if (node->role() == QAccessible::Button) {
            buttons.insert(node->text(QAccessible::Name), node);
        }
        if (node->text(QAccessible::Name) == QStringLiteral("行情")) {
            quotes = node;
        }
    }
    ASSERT_EQ(buttons.keys(), (QStringList{"关闭", "刷新", "菜单", "隐藏"}));
    // Each lies over its symbol: where a click on the strip does the same.
    const QPoint origin = window->mapToGlobal(QPoint(0, 0));
    const std::pair<const char*, StripArea> areas[] = {{"关闭", StripArea::Close},
                                                       {"隐藏", StripArea::Hide},
                                                       {"菜单", StripArea::Menu},
                                                       {"刷新", StripArea::Refresh}};
    for (const auto& [name, area] : areas) {
        const QRect rect = buttons[QString::fromUtf8(name)]->rect().translated(-origin);
        const PixelRect expected = StripButtonArea(area, window->width());
        EXPECT_EQ(rect, QRect(expected.x, expected.y, expected.width, expected.height)) << name;
        EXPECT_EQ(HitTestStrip(rect.center().x(), rect.center().y(), window->width()), area);
    }

    // The quote table reads as text.
    ASSERT_NE(quotes, nullptr);
    ASSERT_NE(quotes->textInterface(), nullptr);
    const QString text =
        quotes->textInterface()->text(0, quotes->textInterface()->characterCount());
    EXPECT_TRUE(text.contains(QStringLiteral("浦发银行"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("最新价")));

    // Pressed through the accessibility interface, the buttons act as clicks do.
    QAccessibleInterface* refresh = buttons[QStringLiteral("刷新")];
    ASSERT_TRUE(refresh->actionInterface()->actionNames().contains(
        QAccessibleActionInterface::pressAction()));
    refresh->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QElapsedTimer waited;
    waited.start();
    while (window->RefreshStateValue() != refreshRequested && waited.elapsed() < 3000) {
        QTest::qWait(20);
    }
    EXPECT_EQ(window->RefreshStateValue(), refreshRequested);
    buttons[QStringLiteral("隐藏")]->actionInterface()->doAction(
        QAccessibleActionInterface::pressAction());
    waited.restart();
    while (window->isVisible() && waited.elapsed() < 3000) {
        QTest::qWait(20);
    }
    EXPECT_FALSE(window->isVisible());
}

xcb_connection_t* X11() {
    return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

xcb_atom_t Atom(const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        X11(), xcb_intern_atom(X11(), 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

// A property of the native window that shows `window` now, as the X server holds it.
QByteArray Property(const QWidget& window, xcb_atom_t property, xcb_atom_t type) {
    const auto id = static_cast<xcb_window_t>(window.windowHandle()->winId());
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        X11(), xcb_get_property(X11(), 0, id, property, type, 0, 1024), nullptr);
    QByteArray value;
    if (reply != nullptr) {
        value = QByteArray(static_cast<const char*>(xcb_get_property_value(reply)),
                           xcb_get_property_value_length(reply));
        std::free(reply);
    }
    return value;
}

bool StateHas(const QWidget& window, const char* state) {
    const QByteArray atoms = Property(window, Atom("_NET_WM_STATE"), XCB_ATOM_ATOM);
    const xcb_atom_t wanted = Atom(state);
    for (int i = 0; i + 4 <= atoms.size(); i += 4) {
        xcb_atom_t atom;
        std::memcpy(&atom, atoms.constData() + i, 4);
        if (atom == wanted) {
            return true;
        }
    }
    return false;
}

bool PressKeys(const char* keys) {
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), {QStringLiteral("key"), QString::fromLatin1(keys)});
    return xdotool.waitForFinished(10000) && xdotool.exitCode() == 0;
}

bool WaitUntil(const std::function<bool()>& condition) {
    QElapsedTimer waited;
    waited.start();
    while (!condition() && waited.elapsed() < 5000) {
        QTest::qWait(20);
    }
    return condition();
}

TEST_F(TickerWindowTest, AlwaysOnTopChangedWhileRunningKeepsClassTaskBarMaskAndHotKey) {
    UseX11();
    QCursor::setPos(1, 1);
    StartAndShowFirstPage();
    window->ToggleTransparency();
    ASSERT_TRUE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    const QByteArray vemoClass("VEMO\0VemoMFrame\0", 16);
    EXPECT_EQ(Property(*window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING), vemoClass);
    EXPECT_TRUE(StateHas(*window, "_NET_WM_STATE_SKIP_TASKBAR"));
    EXPECT_TRUE(StateHas(*window, "_NET_WM_STATE_ABOVE"));

    for (const bool onTop : {false, true}) {
        SCOPED_TRACE(onTop ? "back on top" : "not on top");
        TickerSettings changed = window->Settings();
        changed.optionFlags =
            onTop ? (changed.optionFlags | alwaysOnTop) : (changed.optionFlags & ~alwaysOnTop);
        QSignalSpy shown(window.get(), &CTickerWindow::pageShown);
        window->ReplaceSettings(changed);
        ASSERT_TRUE(shown.wait(15000));
        QTest::qWait(300);

        EXPECT_EQ(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint), onTop);
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(Property(*window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING), vemoClass);
        EXPECT_TRUE(StateHas(*window, "_NET_WM_STATE_SKIP_TASKBAR"));
        EXPECT_EQ(StateHas(*window, "_NET_WM_STATE_ABOVE"), onTop);
        // Still see-through: the background below the table is not on the screen.
        EXPECT_FALSE(window->mask().isEmpty());
        const QImage screen = OnScreen(*window);
        EXPECT_NE(screen.pixelColor(window->width() / 2, window->height() - 4),
                  QColor(0xFF, 0xFF, 0xE6));
        // And the hot key still hides and shows it.
        ASSERT_TRUE(PressKeys("alt+s"));
        EXPECT_TRUE(WaitUntil([&] { return !window->isVisible(); }));
        ASSERT_TRUE(PressKeys("alt+s"));
        EXPECT_TRUE(WaitUntil([&] { return window->isVisible(); }));
    }
}

TEST_F(TickerWindowTest, HoverTimerOnlyWithTitleBarOnHoverAndOnTopByItsBit) {
    settings.optionFlags = 0;  // neither on top nor the strip on hover
    StartAndShowFirstPage();
    EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    window->ToggleTransparency();
    EXPECT_FALSE(window->HoverTimerActive());
    window->SetTickerVisible(false);
    window->SetTickerVisible(true);
    EXPECT_FALSE(window->HoverTimerActive());
    window->ToggleTransparency();
    window.reset();

    settings.optionFlags = titleBarOnHover | alwaysOnTop;
    StartAndShowFirstPage();
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(window->HoverTimerActive());  // opaque: no strip to show
    window->ToggleTransparency();
    EXPECT_TRUE(window->HoverTimerActive());
    window->SetTickerVisible(false);
    EXPECT_FALSE(window->HoverTimerActive());
    window->SetTickerVisible(true);
    EXPECT_TRUE(window->HoverTimerActive());

    // The option turned off while transparent stops it.
    TickerSettings changed = window->Settings();
    changed.optionFlags &= ~titleBarOnHover;
    QSignalSpy shown(window.get(), &CTickerWindow::pageShown);
    window->ReplaceSettings(changed);
    ASSERT_TRUE(shown.wait(15000));
    EXPECT_FALSE(window->HoverTimerActive());
    window->ToggleTransparency();
    EXPECT_FALSE(window->HoverTimerActive());
}

TEST_F(TickerWindowTest, AHiddenSeeThroughWindowIsNotPolled) {
    // Hidden at start, see-through since the last run, the strip shown on hover.
    settings.optionFlags = titleBarOnHover | alwaysOnTop | hideAtStart;
    WindowState state{};
    state.transparent = 1;
    SaveWindowState(state, paths.settingsFiles);
    StartAndShowFirstPage();
    ASSERT_TRUE(window->TransparentMode());
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->HoverTimerActive());

    window->SetTickerVisible(true);
    EXPECT_TRUE(window->HoverTimerActive());

    // Settings changed from the tray menu while hidden: not polled while it stays hidden, and
    // polled again when the new settings' first fit shows it.
    window->SetTickerVisible(false);
    window->ReplaceSettings(window->Settings());
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->HoverTimerActive());
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->isVisible(); }, 15000));
    EXPECT_TRUE(window->HoverTimerActive());
}

TEST_F(TickerWindowTest, StandInServiceIsNamedAndOldQuotesAreMarked) {
    sim.SetTime(SimTime{2026, 12, 4, 14, 35, 2});
    SimBehaviour refused;
    refused.failure = SimFailure::HttpError;
    refused.status = 403;
    refused.body = "Kinsoku jikou desu!";
    sim.SetBehaviour(SimService::Sina, refused);
    StartAndShowFirstPage();
    const CWebBrowser2* browser = Control<CWebBrowser2>(IdBrowser);
    EXPECT_TRUE(browser->toPlainText().contains(QStringLiteral("2026-12-04 14:35:02 腾讯")));
    EXPECT_TRUE(browser->toPlainText().contains(QStringLiteral("浦发银行")));

    SimBehaviour closed;
    closed.failure = SimFailure::Close;
    sim.SetBehaviour(SimService::All, closed);
    // A refresh the user asks for, once the last one is five seconds old.
    QSignalSpy shown(window.get(), &CTickerWindow::pageShown);
    QTest::qWait(5200);
    window->OnCommand(CmdRefresh);
    ASSERT_TRUE(shown.wait(15000));
    EXPECT_TRUE(browser->toPlainText().contains(QStringLiteral("2026-12-04 14:35:02 未更新")));
    EXPECT_TRUE(browser->toPlainText().contains(QStringLiteral("浦发银行")));
    MoveMouse(QPoint(window->width() - 10, 5));
    EXPECT_TRUE(QToolTip::text().endsWith(QStringLiteral(" 刷新失败，行情未更新)")))
        << QToolTip::text().toStdString();
}

}  // namespace
}  // namespace vemo
