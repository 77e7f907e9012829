#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <memory>

#include "tests/support/TestFiles.h"
#include "options/CodesPage.h"
#include "options/HoldingsPage.h"
#include "options/OptionsDialog.h"
#include "platform/fake/FakePlatform.h"

namespace vemo {
namespace {

// The dialog over a list of three codes, with holdings.ini beside the per-user store.
class HoldingsDialogTest : public ::testing::Test {
  protected:
    void Open() {
        std::strcpy(copy.codeList, ",600000,000002,1A0001");
        dialog = std::make_unique<COptionsDialog>(copy, files, platform);
        dialog->SetQuoteNames({{"600000", "浦发银行"}, {"000002", "万科Ａ"}});
        dialog->show();
        page = dialog->HoldingsPage();
        status = dialog->findChild<QLabel*>(QString::number(IdStatusLine));
    }
    QLineEdit* Field(const char* name) const {
        for (QLineEdit* edit : page->findChildren<QLineEdit*>()) {
            if (edit->accessibleName() == QString::fromUtf8(name)) {
                return edit;
            }
        }
        return nullptr;
    }
    void Type(const char* field, const char* text) {
        QLineEdit* edit = Field(field);
        ASSERT_NE(edit, nullptr) << field;
        edit->clear();
        QTest::keyClicks(edit, QString::fromUtf8(text));
    }
    void ClickOk() { dialog->findChild<QPushButton*>(QString::number(IdOkButton))->click(); }

    test::TempDir dir;
    SettingsFiles files{dir.path() / "vemo.ini", dir.path() / "registry"};
    std::filesystem::path holdings = dir.path() / "holdings.ini";
    std::filesystem::path alerts = dir.path() / "alerts.ini";
    TickerSettings copy = DefaultTickerSettings();
    FakePlatform platform;
    std::unique_ptr<COptionsDialog> dialog;
    CHoldingsPage* page = nullptr;
    QLabel* status = nullptr;
};

TEST_F(HoldingsDialogTest, TheLastTabHasALinePerCodeWithNamedFields) {
    Open();
    QTabWidget* tabs = dialog->Tabs();
    ASSERT_EQ(tabs->count(), 4);
    EXPECT_EQ(tabs->tabText(3), QStringLiteral("持仓与提醒"));
    tabs->setCurrentIndex(3);
    for (const char* name : {"600000 持仓", "600000 成本", "000002 持仓", "1A0001 成本"}) {
        ASSERT_NE(Field(name), nullptr) << name;
        EXPECT_TRUE(Field(name)->focusPolicy() & Qt::TabFocus);
    }
    EXPECT_NE(page->findChild<QCheckBox*>(), nullptr);
    EXPECT_EQ(page->ShowProfit()->accessibleName(), QStringLiteral("显示盈亏"));
    EXPECT_TRUE(page->ShowProfit()->isChecked());
    const HoldingsPageState state = page->State();
    ASSERT_EQ(state.lines.size(), 3u);
    EXPECT_EQ(state.lines[0].name, "浦发银行");
    EXPECT_EQ(state.lines[2].name, "");
    // Tab walks from a line's shares to its cost.
    Field("600000 持仓")->setFocus();
    QTest::keyClick(Field("600000 持仓"), Qt::Key_Tab);
    EXPECT_EQ(dialog->focusWidget(), Field("600000 成本"));
}

TEST_F(HoldingsDialogTest, OkSavesCheckedEntriesAndCancelNothing) {
    Open();
    dialog->Tabs()->setCurrentIndex(3);
    Type("600000 持仓", "1000");
    Type("600000 成本", "9.850");
    Type("000002 持仓", "200");  // no cost yet
    ClickOk();
    EXPECT_EQ(status->text(), QStringLiteral("成本输入不正确"));
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->focusWidget(), Field("000002 成本"));
    EXPECT_FALSE(std::filesystem::exists(holdings));
    EXPECT_FALSE(std::filesystem::exists(files.iniFile));  // nothing is saved before all pass

    Type("000002 成本", "10");
    Type("1A0001 持仓", "x");
    Type("1A0001 成本", "1");
    ClickOk();
    EXPECT_EQ(status->text(), QStringLiteral("持仓输入不正确"));
    Type("1A0001 持仓", "");
    Type("1A0001 成本", "");
    ClickOk();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(test::ReadBytes(holdings),
              "[600000]\r\nshares=1000\r\ncost=9.850\r\n[000002]\r\nshares=200\r\ncost=10\r\n");
    EXPECT_EQ(test::ModeOf(holdings), 0600u);

    // Cancel after changes: the file stays as it is.
    Open();
    dialog->Tabs()->setCurrentIndex(3);
    EXPECT_EQ(Field("600000 持仓")->text(), QStringLiteral("1000"));
    Type("600000 持仓", "5");
    page->ShowProfit()->click();
    dialog->findChild<QPushButton*>(QString::number(IdCancelButton))->click();
    EXPECT_EQ(test::ReadBytes(holdings),
              "[600000]\r\nshares=1000\r\ncost=9.850\r\n[000002]\r\nshares=200\r\ncost=10\r\n");
}

TEST_F(HoldingsDialogTest, TheBoxHidesTheColumnsAndKeepsTheHoldings) {
    test::WriteBytes(holdings, "[600000]\nshares=1000\ncost=9.85\n");
    Open();
    dialog->Tabs()->setCurrentIndex(3);
    page->ShowProfit()->click();
    ClickOk();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(test::ReadBytes(holdings),
              "[600000]\nshares=1000\ncost=9.85\n[VEMO]\r\nshowProfit=0\r\n");
    Open();
    EXPECT_FALSE(page->ShowProfit()->isChecked());
}

TEST_F(HoldingsDialogTest, ABadValueInTheFileIsShownWithItsMessage) {
    test::WriteBytes(holdings, "[600000]\nshares=12x\ncost=1\n");
    Open();
    EXPECT_EQ(status->text(), QString());
    dialog->Tabs()->setCurrentIndex(3);
    EXPECT_EQ(Field("600000 持仓")->text(), QStringLiteral("12x"));
    EXPECT_EQ(status->text(), QStringLiteral("持仓输入不正确"));
    ClickOk();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(test::ReadBytes(holdings), "[600000]\nshares=12x\ncost=1\n");
}

TEST_F(HoldingsDialogTest, LinesFollowTheCodesPagesList) {
    Open();
    CCodesPage* codes = dialog->CodesPage();
    codes->Entry()->setText(QStringLiteral("300750"));
    codes->Add();
    dialog->Tabs()->setCurrentIndex(3);
    Type("300750 持仓", "5");
    Type("300750 成本", "100");
    dialog->Tabs()->setCurrentIndex(0);
    codes->List()->setCurrentRow(0);
    codes->Delete();  // 600000 goes
    dialog->Tabs()->setCurrentIndex(3);
    EXPECT_EQ(Field("600000 持仓"), nullptr);
    ASSERT_NE(Field("300750 持仓"), nullptr);
    EXPECT_EQ(Field("300750 持仓")->text(), QStringLiteral("5"));
    ClickOk();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(test::ReadBytes(holdings), "[300750]\r\nshares=5\r\ncost=100\r\n");
}

TEST_F(HoldingsDialogTest, ASaveThatFailsKeepsTheDialogAndSaysWhy) {
    test::WriteBytes(holdings, "[600000]\nshares=1\ncost=1\n");
    ::chmod(holdings.c_str(), 0444);
    Open();
    dialog->Tabs()->setCurrentIndex(3);
    Type("600000 持仓", "2");
    ClickOk();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(status->text().contains(QStringLiteral("只读"))) << status->text().toStdString();
    EXPECT_EQ(test::ReadBytes(holdings), "[600000]\nshares=1\ncost=1\n");
}

TEST_F(HoldingsDialogTest, TheAlertFieldsFollowTheHoldingOnesByName) {
    Open();
    dialog->Tabs()->setCurrentIndex(3);
    for (const char* name : {"600000 高于", "600000 低于", "000002 涨幅%", "1A0001 跌幅%"}) {
        ASSERT_NE(Field(name), nullptr) << name;
        EXPECT_TRUE(Field(name)->focusPolicy() & Qt::TabFocus);
    }
    // Tab runs through the whole line before the next one.
    const char* walk[] = {"600000 成本", "600000 高于", "600000 低于", "600000 涨幅%",
                          "600000 跌幅%", "000002 持仓"};
    Field(walk[0])->setFocus();
    for (std::size_t i = 1; i < std::size(walk); ++i) {
        QTest::keyClick(dialog->focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(dialog->focusWidget(), Field(walk[i])) << walk[i];
    }
}

TEST_F(HoldingsDialogTest, OkChecksTheRulesSavesThemAndCancelChangesNothing) {
    Open();
    dialog->Tabs()->setCurrentIndex(3);
    Type("600000 高于", "10.5");
    Type("000002 跌幅%", "3");
    Type("000002 低于", "1.2345");
    Type("1A0001 涨幅%", "101");
    ClickOk();
    EXPECT_EQ(status->text(), QStringLiteral("提醒价格输入不正确"));
    EXPECT_EQ(dialog->focusWidget(), Field("000002 低于"));
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(std::filesystem::exists(alerts));
    EXPECT_FALSE(std::filesystem::exists(files.iniFile));

    Type("000002 低于", "");
    ClickOk();
    EXPECT_EQ(status->text(), QStringLiteral("提醒幅度输入不正确"));
    EXPECT_EQ(dialog->focusWidget(), Field("1A0001 涨幅%"));
    Type("1A0001 涨幅%", "");
    ClickOk();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(test::ReadBytes(alerts),
              "[600000]\r\nabove=10.50\r\n[000002]\r\nfallBelow=3\r\n");
    EXPECT_EQ(test::ModeOf(alerts), 0600u);
    EXPECT_FALSE(std::filesystem::exists(holdings));  // no holding was entered

    Open();
    dialog->Tabs()->setCurrentIndex(3);
    EXPECT_EQ(Field("600000 高于")->text(), QStringLiteral("10.50"));
    Type("600000 高于", "");
    Type("600000 低于", "9");
    dialog->findChild<QPushButton*>(QString::number(IdCancelButton))->click();
    EXPECT_EQ(test::ReadBytes(alerts),
              "[600000]\r\nabove=10.50\r\n[000002]\r\nfallBelow=3\r\n");
}

TEST_F(HoldingsDialogTest, ABadRuleInTheFileIsShownWithItsMessageAndKept) {
    test::WriteBytes(alerts, "[000002]\nriseAbove=5%\n");
    Open();
    dialog->Tabs()->setCurrentIndex(3);
    EXPECT_EQ(Field("000002 涨幅%")->text(), QStringLiteral("5%"));
    EXPECT_EQ(status->text(), QStringLiteral("提醒幅度输入不正确"));
    ClickOk();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(test::ReadBytes(alerts), "[000002]\nriseAbove=5%\n");
    Type("000002 涨幅%", "5");
    ClickOk();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(test::ReadBytes(alerts), "[000002]\nriseAbove=5\r\n");
}

}  // namespace
}  // namespace vemo
