#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QElapsedTimer>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <cstring>
#include <memory>
#include <optional>

#include "net/Endpoints.h"
#include "options/AboutBox.h"
#include "options/CodesPage.h"
#include "options/ColourSwatch.h"
#include "options/DisplayPage.h"
#include "options/HotKeyEdit.h"
#include "options/LinkLabel.h"
#include "options/OptionsDialog.h"
#include "options/ProxyPage.h"
#include "options/UrlOpener.h"
#include "platform/KeyMapping.h"
#include "platform/fake/FakePlatform.h"
#include "platform/x11/AutoStart.h"
#include "platform/x11/AutoStartState.h"
#include "platform/x11/X11Platform.h"
#include "tests/support/TestFiles.h"

namespace vemo {
namespace {

QStringList Entries(const QListWidget* list) {
    QStringList entries;
    for (int row = 0; row < list->count(); ++row) {
        entries << list->item(row)->text();
    }
    return entries;
}

int SelectedRow(const QListWidget* list) {
    const auto selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.first());
}

template <typename T>
T* Find(const QWidget* parent, const QString& accessibleName) {
    for (T* widget : parent->findChildren<T*>()) {
        if (widget->accessibleName() == accessibleName) {
            return widget;
        }
    }
    return nullptr;
}

void Hover(QWidget* widget, bool inside) {
    if (inside) {
        QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)));
        QApplication::sendEvent(widget, &enter);
    } else {
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(widget, &leave);
    }
}

// The dialog over a copy of a record, with its status line and the pages at hand.
class DialogTest : public ::testing::Test {
  protected:
    void Open() {
        dialog = std::make_unique<COptionsDialog>(copy, files, platform);
        dialog->SetUrlOpener([this](const QUrl& url) { opened << url.toString(); });
        dialog->show();
        codes = dialog->CodesPage();
        status = dialog->findChild<QLabel*>(QString::number(IdStatusLine));
    }
    QString Status() const { return status->text(); }
    void Add(const QString& code) {
        codes->Entry()->setText(code);
        codes->Add();
    }

    test::TempDir dir;
    SettingsFiles files{dir.path() / "vemo.ini", dir.path() / "registry"};
    TickerSettings copy = DefaultTickerSettings();
    FakePlatform platform;
    std::unique_ptr<COptionsDialog> dialog;
    CCodesPage* codes = nullptr;
    QLabel* status = nullptr;
    QStringList opened;
};

TEST_F(DialogTest, OpensOnTheFirstTabWithEveryControlNamed) {
    Open();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("VEMO Marnel"));
    const QTabWidget* tabs = dialog->Tabs();
    ASSERT_EQ(tabs->count(), 4);
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("常规"));
    EXPECT_EQ(tabs->tabText(1), QStringLiteral("我的VEMO"));
    EXPECT_EQ(tabs->tabText(2), QStringLiteral("连接"));
    EXPECT_EQ(tabs->currentIndex(), 0);
    EXPECT_TRUE(codes->isVisible());
    EXPECT_FALSE(dialog->DisplayPage()->isVisible());

    // Every control a keyboard can reach has a name for screen readers and tests.
    for (QWidget* widget : dialog->findChildren<QWidget*>()) {
        if (widget->focusPolicy() & Qt::TabFocus && !qobject_cast<QTabBar*>(widget)) {
            EXPECT_FALSE(widget->accessibleName().isEmpty()) << widget->metaObject()->className();
        }
    }
    for (const char* name :
         {"确定",         "取消",   "意见反馈", "代码",       "代码列表",
          "添加",         "查询",   "上移",     "下移",       "删除",
          "刷新频率：",   "新浪",   "网易",     "腾讯",       "显示/隐藏 热键：",
          "开机自动运行", "涨",     "背景",     "字体大小：", "使用代理",
          "地址：",       "端口：", "用户名：", "密码：",     "通过 IE 获得数据"}) {
        EXPECT_NE(Find<QWidget>(dialog.get(), QString::fromUtf8(name)), nullptr) << name;
    }
    // The status line is painted red.
    EXPECT_EQ(status->palette().color(QPalette::WindowText), QColor(0xFF, 0, 0));
}

TEST_F(DialogTest, OkStoresAndSavesOnlyWhenEveryCheckPasses) {
    std::strcpy(copy.codeList, ",600000,60000");
    Open();
    QPushButton* ok = Find<QPushButton>(dialog.get(), QStringLiteral("确定"));
    const TickerSettings before = copy;
    ok->click();
    EXPECT_EQ(Status(), QStringLiteral("60000 不正确 请输入6位代码"));
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(std::memcmp(&before, &copy, sizeof copy), 0);
    EXPECT_FALSE(std::filesystem::exists(files.iniFile));

    // A code typed but never added is not part of the list.
    codes->List()->setCurrentRow(1);
    codes->Delete();
    codes->Entry()->setText(QStringLiteral("000002"));
    ok->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_STREQ(copy.codeList, ",600000");
    TickerSettings saved{};
    EXPECT_EQ(LoadSettings(saved, files), 1);
    EXPECT_STREQ(saved.codeList, ",600000");
}

// Closes the next modal message box as soon as it shows and hands back its text and whether that
// text can be selected; empty when none showed within `ms`.
struct BoxWatch {
    QString text;
    bool selectable = false;
    explicit BoxWatch(int ms = 5000) {
        auto* timer = new QTimer(qApp);
        auto* elapsed = new QElapsedTimer;
        elapsed->start();
        QObject::connect(timer, &QTimer::timeout, timer, [this, timer, elapsed, ms] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr && elapsed->elapsed() < ms) {
                return;
            }
            if (box != nullptr) {
                text = box->text();
                selectable = (box->textInteractionFlags() & Qt::TextSelectableByMouse) != 0;
                EXPECT_EQ(box->windowTitle(), QStringLiteral("提示"));
                box->button(QMessageBox::Ok)->click();
            }
            timer->stop();
            timer->deleteLater();
            delete elapsed;
        });
        timer->start(20);
    }
};

TEST_F(DialogTest, OkOnAFileThatCannotBeWrittenAppliesAndSaysWhy) {
    SaveSettings(copy, files);
    ::chmod(files.iniFile.c_str(), 0444);
    Open();
    codes->List()->setCurrentRow(0);
    codes->Delete();
    const std::string expected = std::string(copy.codeList).substr(7);
    BoxWatch box;
    Find<QPushButton>(dialog.get(), QStringLiteral("确定"))->click();
    EXPECT_EQ(box.text, QString::fromStdString("设置无法保存到 " + files.iniFile.string() +
                                                ": 只读文件"));
    EXPECT_TRUE(box.selectable);
    // The change holds for this run all the same.
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(std::string(copy.codeList), expected);
}

TEST_F(DialogTest, ALinkWithoutABrowserShowsItsAddress) {
    // No browser anywhere this process could find one.
    test::ScopedEnv browser("BROWSER", std::nullopt);
    test::ScopedEnv defaultBrowser("DEFAULT_BROWSER", std::nullopt);
    test::ScopedEnv path("PATH", dir.path().string());
    BoxWatch box;
    X11Platform desktop;
    EXPECT_FALSE(OpenInBrowser(desktop, QUrl(QStringLiteral("http://127.0.0.1:9/code?q=1"))));
    EXPECT_TRUE(box.text.endsWith(QStringLiteral("\nhttp://127.0.0.1:9/code?q=1")))
        << box.text.toStdString();
    EXPECT_TRUE(box.selectable);
}

TEST_F(DialogTest, ARedMessageGoesWhenItsCauseIsFixed) {
    std::string list;
    for (int i = 0; i < 30; ++i) {
        list += "," + std::to_string(600000 + i);
    }
    std::strcpy(copy.codeList, list.c_str());
    std::strcpy(copy.proxyServer, "proxy.example:3128");
    copy.proxyMode = proxyUseServer | proxyWithCredentials;
    Open();
    Add(QStringLiteral("000002"));
    EXPECT_EQ(Status(), QStringLiteral("达到上限不能再添加"));
    codes->List()->setCurrentRow(3);
    codes->Delete();
    EXPECT_EQ(Status(), QString());

    // An empty user name, then the box that asks for one unticked.
    dialog->accept();
    EXPECT_EQ(Status(), QStringLiteral("用户名输入不正确"));
    auto* port = dialog->ProxyPage()->findChild<QLineEdit*>(QString::number(IdProxyPort));
    port->setText(QStringLiteral("3129"));  // not the cause
    EXPECT_EQ(Status(), QStringLiteral("用户名输入不正确"));
    dialog->ProxyPage()->findChild<QCheckBox*>(QString::number(IdCredentials))->click();
    EXPECT_EQ(Status(), QString());
}

TEST_F(DialogTest, AddSelectsAndShowsTheNewCode) {
    std::string list;
    for (int i = 0; i < 25; ++i) {
        list += "," + std::to_string(600000 + i);
    }
    std::strcpy(copy.codeList, list.c_str());
    Open();
    codes->List()->setCurrentRow(0);
    codes->List()->scrollToTop();
    Add(QStringLiteral("1b0009"));
    QListWidget* view = codes->List();
    ASSERT_EQ(view->count(), 26);
    EXPECT_EQ(view->item(25)->text(), QStringLiteral("1B0009"));
    EXPECT_EQ(SelectedRow(view), 25);
    EXPECT_TRUE(view->viewport()->rect().contains(view->visualItemRect(view->item(25))));
}

TEST_F(DialogTest, EscapeIsSwallowedByThePagesAndCancelsElsewhere) {
    Open();
    // Inside each page Escape does nothing; on the display page Enter neither.
    QTest::keyClick(codes->Entry(), Qt::Key_Escape);
    QTest::keyClick(codes->HotKey(), Qt::Key_Escape);
    dialog->Tabs()->setCurrentIndex(1);
    QCheckBox* onTop = Find<QCheckBox>(dialog.get(), QStringLiteral("总在最前端显示"));
    QTest::keyClick(onTop, Qt::Key_Escape);
    QTest::keyClick(onTop, Qt::Key_Return);
    QTest::keyClick(dialog->DisplayPage()->FontSize(), Qt::Key_Enter);
    QTest::keyClick(dialog->DisplayPage()->Swatch(IdUpSwatch), Qt::Key_Return);
    dialog->Tabs()->setCurrentIndex(2);
    QTest::keyClick(dialog->ProxyPage()->Address(), Qt::Key_Escape);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(Status(), QString());

    // Outside the pages it is Cancel, and nothing is written.
    const TickerSettings before = copy;
    QTest::keyClick(dialog->Tabs()->tabBar(), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(std::memcmp(&before, &copy, sizeof copy), 0);
    EXPECT_FALSE(std::filesystem::exists(files.iniFile));
}

TEST_F(DialogTest, FeedbackLinkOpensThePageAndKeepsTheDialog) {
    Open();
    CLinkLabel* link = dialog->FeedbackLink();
    EXPECT_EQ(link->LinkColour(), QColor(0, 0, 0xFF));
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    Hover(link, true);
    EXPECT_EQ(link->LinkColour(), QColor(0xFF, 0, 0));
    Hover(link, false);
    EXPECT_EQ(link->LinkColour(), QColor(0, 0, 0xFF));

    QTest::mouseClick(link, Qt::LeftButton);
    EXPECT_EQ(opened, QStringList{QString::fromStdString(FeedbackUrl())});
    EXPECT_TRUE(dialog->isVisible());
    // A click beside it, on the dialog, opens nothing.
    QTest::mouseClick(dialog.get(), Qt::LeftButton, {}, QPoint(5, dialog->height() - 5));
    EXPECT_EQ(opened.size(), 1);

    QTest::mouseClick(Find<QPushButton>(codes, QStringLiteral("查询")), Qt::LeftButton);
    EXPECT_EQ(opened.last(), QString::fromStdString(CodeQueryUrl()));
}

TEST_F(DialogTest, AddRefusesWithTheRightMessage) {
    std::strcpy(copy.codeList, ",1A0001,,399001");
    Open();
    EXPECT_EQ(Entries(codes->List()), (QStringList{"1A0001", "399001"}));
    // The entry field takes at most 6 characters.
    QTest::keyClicks(codes->Entry(), QStringLiteral("6000001"));
    EXPECT_EQ(codes->Entry()->text(), QStringLiteral("600000"));
    QTest::keyClick(codes->Entry(), Qt::Key_Return);  // Enter adds
    EXPECT_EQ(Entries(codes->List()), (QStringList{"1A0001", "399001", "600000"}));
    EXPECT_EQ(codes->Entry()->text(), QString());

    Add(QStringLiteral("60000"));
    EXPECT_EQ(Status(), QStringLiteral("输入6位代码"));
    EXPECT_EQ(codes->Entry()->text(), QStringLiteral("60000"));  // kept for correcting
    Add(QStringLiteral("1a0001"));
    EXPECT_EQ(Status(), QStringLiteral("已添加过此项"));
    Add(QStringLiteral("000002"));
    EXPECT_EQ(Status(), QString());  // a successful Add clears the line
    EXPECT_EQ(codes->List()->count(), 4);
}

TEST_F(DialogTest, AddStopsAtThirtyAlsoForALongerStoredList) {
    std::string list;
    for (int i = 0; i < 31; ++i) {
        list += "," + std::to_string(600000 + i);
    }
    std::strcpy(copy.codeList, list.c_str());
    Open();
    Add(QStringLiteral("000002"));
    EXPECT_EQ(Status(), QStringLiteral("达到上限不能再添加"));
    codes->List()->setCurrentRow(0);
    codes->Delete();
    Add(QStringLiteral("000002"));
    EXPECT_EQ(Status(), QStringLiteral("达到上限不能再添加"));
    codes->Delete();
    Add(QStringLiteral("000002"));
    EXPECT_EQ(codes->List()->count(), 30);
    EXPECT_EQ(Status(), QString());
    // Such a list is accepted by OK, every entry having 6 characters.
    dialog->accept();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
}

TEST_F(DialogTest, DeleteAndMoveKeepTheSelectionWhereUsersExpectIt) {
    std::strcpy(copy.codeList, ",A00001,B00002,C00003");
    Open();
    QListWidget* list = codes->List();

    codes->Delete();  // nothing selected: nothing happens, nothing is said
    EXPECT_EQ(list->count(), 3);
    EXPECT_EQ(Status(), QString());

    list->setCurrentRow(0);
    codes->MoveUp();  // the first cannot go up
    EXPECT_EQ(Entries(list), (QStringList{"A00001", "B00002", "C00003"}));
    list->setCurrentRow(2);
    codes->MoveUp();
    EXPECT_EQ(Entries(list), (QStringList{"A00001", "C00003", "B00002"}));
    EXPECT_EQ(SelectedRow(list), 1);
    codes->MoveDown();
    codes->MoveDown();  // the last cannot go down
    EXPECT_EQ(Entries(list), (QStringList{"A00001", "B00002", "C00003"}));
    EXPECT_EQ(SelectedRow(list), 2);

    codes->Delete();  // the last of three: the new last is selected
    EXPECT_EQ(Entries(list), (QStringList{"A00001", "B00002"}));
    EXPECT_EQ(SelectedRow(list), 1);
    list->setCurrentRow(0);
    codes->Delete();
    EXPECT_EQ(SelectedRow(list), 0);
    codes->Delete();  // the only entry: nothing stays selected
    EXPECT_EQ(list->count(), 0);
    EXPECT_EQ(SelectedRow(list), -1);
    codes->Delete();
    EXPECT_EQ(Status(), QStringLiteral("列表中没有数据"));

    dialog->accept();
    EXPECT_STREQ(copy.codeList, ",");
}

TEST_F(DialogTest, SliderOpensOnValidPeriodsOnlyAndItsLabelFollows) {
    const struct {
        int seconds;
        int position;
        const char* label;
    } cases[] = {{0, 0, "刷新频率： 不刷新"},
                 {10, 1, "刷新频率： 10 秒"},
                 {300, 30, "刷新频率： 300 秒"},
                 {45, 0, "刷新频率： 不刷新"},
                 {310, 0, "刷新频率： 不刷新"}};
    for (const auto& c : cases) {
        copy.refreshSeconds = c.seconds;
        Open();
        EXPECT_EQ(codes->Slider()->value(), c.position) << c.seconds;
        EXPECT_EQ(codes->RateLabel()->text(), QString::fromUtf8(c.label)) << c.seconds;
    }
    QTest::keyClick(codes->Slider(), Qt::Key_Right);
    EXPECT_EQ(codes->RateLabel()->text(), QStringLiteral("刷新频率： 10 秒"));
    codes->Slider()->setValue(0);
    EXPECT_EQ(codes->RateLabel()->text(), QStringLiteral("刷新频率： 不刷新"));
    codes->Slider()->setValue(7);
    dialog->accept();
    EXPECT_EQ(copy.refreshSeconds, 70);
}

TEST_F(DialogTest, DataSourceAndHotKeyControl) {
    copy.provider = 0;
    Open();
    EXPECT_TRUE(Find<QRadioButton>(codes, QStringLiteral("新浪"))->isChecked());
    EXPECT_EQ(codes->HotKey()->text(), QStringLiteral("Alt + S"));
    copy.provider = 3;
    Open();
    EXPECT_TRUE(Find<QRadioButton>(codes, QStringLiteral("网易"))->isChecked());

    CHotKeyEdit* hotKey = codes->HotKey();
    QTest::keyClick(hotKey, Qt::Key_F5, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(hotKey->VirtualKey(), 0x74);
    EXPECT_EQ(hotKey->Flags(), HotKeyFlagControl | HotKeyFlagShift);
    EXPECT_EQ(hotKey->text(), QStringLiteral("Ctrl + Shift + F5"));
    // Shift with a digit reports the shifted symbol; the key is still the digit's.
    QTest::keyClick(hotKey, Qt::Key_Exclam, Qt::ShiftModifier | Qt::AltModifier);
    EXPECT_EQ(hotKey->VirtualKey(), '1');
    EXPECT_EQ(hotKey->Flags(), HotKeyFlagShift | HotKeyFlagAlt);
    // Home is an extended key: its only flag is HOTKEYF_EXT, which OK stores as no modifier.
    QTest::keyClick(hotKey, Qt::Key_Home);
    EXPECT_EQ(hotKey->VirtualKey(), 0x24);
    EXPECT_EQ(hotKey->Flags(), HotKeyFlagExt);
    dialog->accept();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(copy.hotKeyModifiers, 0);
    EXPECT_EQ(copy.hotKeyVirtualKey, 0x24);
    EXPECT_EQ(copy.provider, ProviderNetEase);

    copy.provider = ProviderTencent;
    copy.hotKeyModifiers = ModAlt;
    Open();
    EXPECT_TRUE(Find<QRadioButton>(codes, QStringLiteral("腾讯"))->isChecked());
    Find<QRadioButton>(codes, QStringLiteral("新浪"))->click();
    dialog->accept();
    EXPECT_EQ(copy.provider, ProviderSina);
    Open();
    Find<QRadioButton>(codes, QStringLiteral("腾讯"))->click();
    dialog->accept();
    EXPECT_EQ(copy.provider, ProviderTencent);

    Open();
    QTest::keyClick(codes->HotKey(), Qt::Key_Backspace);
    EXPECT_EQ(codes->HotKey()->text(), QStringLiteral("无"));
    dialog->accept();
    EXPECT_EQ(Status(), QStringLiteral("热键过于简单"));
    EXPECT_TRUE(dialog->isVisible());
}

class DisplayPageTest : public ::testing::Test {
  protected:
    std::unique_ptr<CDisplayPage> Open() {
        auto page = std::make_unique<CDisplayPage>(record, platform);
        page->SetColourPicker([this](QWidget*, const QColor& initial) {
            offered = initial;
            ++pickerRuns;
            return answer;
        });
        // The start at log-on is registered as the record says, unless a test says otherwise.
        registered = pinnedRegistration.value_or((record.optionFlags & runAtStartup) != 0);
        page->SetAutoStarter([this](int enable) {
            autoStartCalls.push_back(enable);
            if (autoStartWorks) {
                registered = enable != 0;
            }
            return autoStartWorks ? 0 : -2;
        });
        page->SetAutoStartProbe([this] { return registered; });
        return page;
    }

    TickerSettings record = DefaultTickerSettings();
    FakePlatform platform;
    QColor answer;
    QColor offered;
    int pickerRuns = 0;
    std::vector<int> autoStartCalls;
    // Whether the start is registered: as the record says when the page opens, unless pinned.
    bool registered = false;
    std::optional<bool> pinnedRegistration;
    bool autoStartWorks = true;
};

TEST_F(DisplayPageTest, OpensFromTheBitsAndTheFontSize) {
    record.pageContent = 0;
    record.optionFlags = runAtStartup | hotKeyHidesTrayIcon;
    auto page = Open();
    for (const int id : {IdShowCode, IdShowName, IdShowPrice, IdShowChangeAmount,
                         IdShowChangePercent, IdShowHeader, IdShowRefreshTime, IdCustomColours,
                         IdAlwaysOnTop, IdTitleBarOnHover, IdHideAtStart}) {
        EXPECT_FALSE(page->Box(id)->isChecked()) << id;
    }
    EXPECT_TRUE(page->Box(IdRunAtStartup)->isChecked());
    EXPECT_TRUE(page->Box(IdHotKeyHidesTray)->isChecked());
    EXPECT_EQ(page->FontSize()->currentText(), QStringLiteral("较小"));
    EXPECT_EQ(page->FontSize()->count(), 5);

    record.pageContent = 0x7F;
    record.optionFlags = 0x3F;
    record.fontSize = 4;
    page = Open();
    for (QCheckBox* box : page->findChildren<QCheckBox*>()) {
        EXPECT_TRUE(box->isChecked()) << box->text().toStdString();
    }
    EXPECT_EQ(page->FontSize()->currentText(), QStringLiteral("最大"));
}

// Each box, found by the caption the user reads, opens from its own bit and stores into it.
TEST_F(DisplayPageTest, EachCaptionStandsForItsOwnBit) {
    struct Case {
        const char* caption;
        std::uint32_t TickerSettings::*field;
        std::uint32_t bit;
    };
    const Case cases[] = {
        {"股票代码", &TickerSettings::pageContent, showCode},
        {"简称", &TickerSettings::pageContent, showName},
        {"最新价", &TickerSettings::pageContent, showPrice},
        {"涨跌额", &TickerSettings::pageContent, showChangeAmount},
        {"涨跌幅", &TickerSettings::pageContent, showChangePercent},
        {"在页面上显示表头", &TickerSettings::pageContent, showHeader},
        {"在主界面上显示最后刷新时间", &TickerSettings::pageContent, showRefreshTime},
        {"自定义字体颜色", &TickerSettings::optionFlags, customColors},
        {"总在最前端显示", &TickerSettings::optionFlags, alwaysOnTop},
        {"窗口透明后鼠标划过显示标题栏", &TickerSettings::optionFlags, titleBarOnHover},
        {"热键隐藏窗口同时隐藏托盘图标", &TickerSettings::optionFlags, hotKeyHidesTrayIcon},
        {"开机自动运行", &TickerSettings::optionFlags, runAtStartup},
        {"程序启动时自动隐藏", &TickerSettings::optionFlags, hideAtStart},
    };
    ASSERT_EQ(Open()->findChildren<QCheckBox*>().size(), std::size(cases));
    for (const Case& c : cases) {
        const QString caption = QString::fromUtf8(c.caption);
        record.pageContent = 0;
        record.optionFlags = 0;
        record.*c.field = c.bit;
        auto page = Open();
        for (QCheckBox* box : page->findChildren<QCheckBox*>()) {
            EXPECT_EQ(box->isChecked(), box->accessibleName() == caption)
                << c.caption << ": " << box->text().toStdString();
        }

        record.*c.field = 0;
        page = Open();
        Find<QCheckBox>(page.get(), caption)->setChecked(true);
        Find<QCheckBox>(page.get(), QStringLiteral("最新价"))->setChecked(true);
        TickerSettings stored = record;
        ASSERT_EQ(
            ValidateAndStore(page->State(), ProxyStateFrom(record), CodesStateFrom(record), stored),
            "");
        const bool content = c.field == &TickerSettings::pageContent;
        EXPECT_EQ(stored.pageContent, showPrice | (content ? c.bit : 0u)) << c.caption;
        EXPECT_EQ(stored.optionFlags, content ? 0u : c.bit) << c.caption;
    }
}

TEST_F(DisplayPageTest, PickingAColourTicksCustomColoursWhateverTheOutcome) {
    record.optionFlags = 0;
    auto page = Open();
    CColourSwatch* up = page->Swatch(IdUpSwatch);
    answer = QColor();  // cancelled
    QTest::mouseClick(up, Qt::LeftButton);
    EXPECT_EQ(pickerRuns, 1);
    EXPECT_EQ(offered, QColor(0xFF, 0, 0));
    EXPECT_EQ(up->Colour(), 0x0000FFu);
    EXPECT_TRUE(page->Box(IdCustomColours)->isChecked());

    answer = QColor(0x12, 0x34, 0x56);
    QTest::keyClick(page->Swatch(IdBackgroundSwatch), Qt::Key_Space);
    EXPECT_EQ(page->Swatch(IdBackgroundSwatch)->Colour(), 0x563412u);
    // Unticking the box keeps the picked colours; OK stores them all the same.
    page->Box(IdCustomColours)->setChecked(false);
    const DisplayPageState state = page->State();
    EXPECT_EQ(state.backgroundColor, 0x563412u);
    EXPECT_FALSE(state.customColors);
}

TEST_F(DisplayPageTest, SwatchesPreviewTheirColours) {
    record.headerColor = 0x00FF00;
    record.backgroundColor = DefaultBackgroundColor;
    auto page = Open();
    EXPECT_EQ(page->Swatch(IdHeaderSwatch)->TextColour(), QColor(0, 0xFF, 0));
    EXPECT_FALSE(page->Swatch(IdHeaderSwatch)->FillColour().isValid());
    // The default background gives black text on it.
    EXPECT_EQ(page->Swatch(IdBackgroundSwatch)->FillColour(), QColor(0xFF, 0xFF, 0xE6));
    EXPECT_EQ(page->Swatch(IdBackgroundSwatch)->TextColour(), QColor(0, 0, 0));
    page->Swatch(IdBackgroundSwatch)->SetColour(0x000000);
    EXPECT_EQ(page->Swatch(IdBackgroundSwatch)->TextColour(), QColor(0xFF, 0xFF, 0xE6));
}

TEST_F(DisplayPageTest, StartUpBoxActsAtOnceEveryOtherBoxWaits) {
    record.optionFlags = runAtStartup;
    auto page = Open();
    QTest::mouseClick(page->Box(IdRunAtStartup), Qt::LeftButton);
    EXPECT_EQ(autoStartCalls, std::vector<int>{0});
    QTest::keyClick(page->Box(IdRunAtStartup), Qt::Key_Space);
    EXPECT_EQ(autoStartCalls, (std::vector<int>{0, 1}));
    QTest::mouseClick(page->Box(IdAlwaysOnTop), Qt::LeftButton);
    EXPECT_EQ(autoStartCalls.size(), 2u);
}

TEST_F(DisplayPageTest, StartUpBoxShowsWhetherTheStartIsRegistered) {
    // Ticked, then the dialog cancelled: the record never got the bit, the entry is there.
    record.optionFlags = 0;
    pinnedRegistration = true;
    EXPECT_TRUE(Open()->Box(IdRunAtStartup)->isChecked());
    record.optionFlags = runAtStartup;
    pinnedRegistration = false;
    auto page = Open();
    EXPECT_FALSE(page->Box(IdRunAtStartup)->isChecked());
    EXPECT_FALSE(page->State().runAtStartup);

    // A registration that fails leaves the box as things are.
    autoStartWorks = false;
    QTest::mouseClick(page->Box(IdRunAtStartup), Qt::LeftButton);
    EXPECT_EQ(autoStartCalls, std::vector<int>{1});
    EXPECT_FALSE(page->Box(IdRunAtStartup)->isChecked());
}

TEST_F(DisplayPageTest, StartUpBoxReadsTheEntryFile) {
    test::TempDir dir;
    const std::filesystem::path entry = dir.path() / "autostart" / "VEMO.desktop";
    auto page = Open();
    page->SetAutoStarter([&](int enable) { return SetAutoStartEntry(entry, "/opt/vemo/VEMO", enable); });
    page->SetAutoStartProbe([&] { return AutoStartEntryExists(entry); });
    EXPECT_FALSE(page->Box(IdRunAtStartup)->isChecked());
    QTest::mouseClick(page->Box(IdRunAtStartup), Qt::LeftButton);
    EXPECT_TRUE(std::filesystem::exists(entry));
    // The next opening of the page, over a record without the bit.
    page = Open();
    page->SetAutoStartProbe([&] { return AutoStartEntryExists(entry); });
    EXPECT_TRUE(page->Box(IdRunAtStartup)->isChecked());
}

TEST(ProxyPageTest, EnablingFollowsTheBoxes) {
    TickerSettings record = DefaultTickerSettings();
    std::strcpy(record.proxyServer, "proxy.example:8080");
    record.proxyMode = 3;
    CProxyPage page(record);
    const auto enabled = [&page] {
        return std::vector<bool>{page.Address()->isEnabled(), page.Port()->isEnabled(),
                                 page.Credentials()->isEnabled(), page.User()->isEnabled(),
                                 page.Password()->isEnabled()};
    };
    EXPECT_TRUE(page.UseProxy()->isChecked() && page.Credentials()->isChecked());
    EXPECT_EQ(page.Address()->text(), QStringLiteral("proxy.example"));
    EXPECT_EQ(page.Port()->text(), QStringLiteral("8080"));
    EXPECT_EQ(enabled(), std::vector<bool>(5, true));

    // Unticking the proxy unticks the credentials; ticking it again leaves them off.
    QTest::mouseClick(page.UseProxy(), Qt::LeftButton);
    EXPECT_FALSE(page.Credentials()->isChecked());
    EXPECT_EQ(enabled(), std::vector<bool>(5, false));
    QTest::mouseClick(page.UseProxy(), Qt::LeftButton);
    EXPECT_FALSE(page.Credentials()->isChecked());
    EXPECT_EQ(enabled(), (std::vector<bool>{true, true, true, false, false}));

    // The system's settings and the proxy exclude each other.
    QTest::mouseClick(page.ThroughSystem(), Qt::LeftButton);
    EXPECT_FALSE(page.UseProxy()->isChecked());
    EXPECT_EQ(enabled(), std::vector<bool>(5, false));
    QTest::mouseClick(page.UseProxy(), Qt::LeftButton);
    EXPECT_FALSE(page.ThroughSystem()->isChecked());
    QTest::mouseClick(page.ThroughSystem(), Qt::LeftButton);
    QTest::mouseClick(page.ThroughSystem(), Qt::LeftButton);  // unticked: nothing else moves
    EXPECT_FALSE(page.UseProxy()->isChecked());
    // Disabled fields keep their text.
    EXPECT_EQ(page.Address()->text(), QStringLiteral("proxy.example"));

    record.proxyMode = 4;
    CProxyPage system(record);
    EXPECT_TRUE(system.ThroughSystem()->isChecked());
    EXPECT_FALSE(system.Address()->isEnabled());
    record.proxyMode = 2;
    CProxyPage credentialsOnly(record);
    EXPECT_FALSE(credentialsOnly.UseProxy()->isChecked() ||
                 credentialsOnly.Credentials()->isChecked() ||
                 credentialsOnly.ThroughSystem()->isChecked());
}

TEST(ProxyPageTest, LongStoredTextsStayWholeUntilEditedAndTypingStopsAtTwenty) {
    TickerSettings record = DefaultTickerSettings();
    const std::string longHost = "proxy.very-long-name.example";  // 28 characters
    std::strcpy(record.proxyServer, (longHost + ":3128").c_str());
    std::strcpy(record.proxyUser, "\xC0\xEE\xC3\xF7");  // GBK
    record.proxyMode = 3;
    CProxyPage page(record);
    EXPECT_EQ(page.Address()->text(), QString::fromStdString(longHost));
    EXPECT_EQ(page.User()->text(), QStringLiteral("李明"));
    ProxyPageState state = page.State();
    EXPECT_EQ(state.address, longHost);
    EXPECT_EQ(state.user, "\xC0\xEE\xC3\xF7");

    // Deleting shortens it; typing never makes it longer again.
    page.Address()->setFocus();
    page.Address()->end(false);
    QTest::keyClick(page.Address(), Qt::Key_Backspace);
    QTest::keyClicks(page.Address(), QStringLiteral("xyz"));
    EXPECT_EQ(page.Address()->text(), QString::fromStdString(longHost.substr(0, 27)));
    EXPECT_EQ(page.State().address, longHost.substr(0, 27));

    page.Port()->clear();
    QTest::keyClicks(page.Port(), QStringLiteral("1234567890123456789012345"));
    EXPECT_EQ(page.Port()->text().size(), 20);
}

TEST(AboutBoxTest, LinkOpensTheHomePageAndRepaintsOnlyOnAChange) {
    FakePlatform platform;
    CAboutBox box(platform);
    QStringList opened;
    box.SetUrlOpener([&opened](const QUrl& url) { opened << url.toString(); });
    box.show();
    EXPECT_EQ(box.windowTitle(), QStringLiteral("关于"));
    EXPECT_NE(Find<QPushButton>(&box, QStringLiteral("确定")), nullptr);
    const QString version = box.findChild<QLabel*>(QString::number(IdAboutVersion))->text();
    EXPECT_TRUE(version.startsWith(QStringLiteral("VEMO 2.0.4.3 \n")));

    CLinkLabel* link = box.HomePageLink();
    EXPECT_EQ(link->text(),
              QStringLiteral("官方网站：") + QString::fromStdString(HomePageUrlWithoutSlash()));
    Hover(link, true);
    Hover(link, true);  // still inside: no second repaint
    EXPECT_EQ(link->ColourChanges(), 1);
    EXPECT_EQ(link->LinkColour(), QColor(0xFF, 0, 0));
    Hover(link, false);
    EXPECT_EQ(link->ColourChanges(), 2);

    QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(3, box.height() - 3));
    EXPECT_TRUE(opened.isEmpty());
    QTest::mouseClick(link, Qt::LeftButton);
    EXPECT_EQ(opened, QStringList{QString::fromStdString(HomePageUrl())});
    EXPECT_TRUE(box.isVisible());
}

}  // namespace
}  // namespace vemo
