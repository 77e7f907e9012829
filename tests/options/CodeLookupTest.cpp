// The code look-up under the 常规 page's entry field: when it asks, what a newer text does to an
// older look-up, and choosing by keyboard and mouse, with a look-up of the test's own and once
// against the simulator.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>

#include "tests/support/TestFiles.h"
#include "options/CodeLookup.h"
#include "options/CodesPage.h"
#include "options/OptionsDialog.h"
#include "platform/fake/FakePlatform.h"
#include "tools/marketsim/MarketSim.h"

namespace vemo {
namespace {

QStringList Entries(const QListWidget* list) {
    QStringList entries;
    for (int row = 0; row < list->count(); ++row) {
        entries << list->item(row)->text();
    }
    return entries;
}

SecurityMatch Match(const char* code, const char* name, SecurityKind kind) {
    return SecurityMatch{code, std::string("sh") + code, name, "", kind};
}

// A look-up of the test's own: it notes every key and waits, while `held`, until released or
// cancelled.
class FakeLookup {
  public:
    CodeLookupFunction Function() {
        return [this](const std::string& key, const std::atomic<bool>& cancel) {
            std::unique_lock lock(mutex_);
            keys_.push_back(key);
            changed_.wait_for(lock, std::chrono::seconds(5),
                              [&] { return !held_ || (cancel && !stubborn_); });
            if (cancel && !stubborn_) {
                ++cancelled_;
                LookupOutcome outcome;
                outcome.cancelled = true;
                return outcome;
            }
            return answer_;
        };
    }
    void Hold() {
        std::lock_guard lock(mutex_);
        held_ = true;
    }
    void Release() {
        {
            std::lock_guard lock(mutex_);
            held_ = false;
        }
        changed_.notify_all();
    }
    // Answers as if the cancel had come too late.
    void Stubborn() {
        std::lock_guard lock(mutex_);
        stubborn_ = true;
    }
    void Answer(LookupOutcome outcome) {
        std::lock_guard lock(mutex_);
        answer_ = std::move(outcome);
    }
    std::vector<std::string> Keys() {
        std::lock_guard lock(mutex_);
        return keys_;
    }
    int Cancelled() {
        std::lock_guard lock(mutex_);
        return cancelled_;
    }
    // The cancel flag is only seen when the waiting look-up wakes up.
    void Poke() { changed_.notify_all(); }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool held_ = false;
    bool stubborn_ = false;
    LookupOutcome answer_;
    std::vector<std::string> keys_;
    int cancelled_ = 0;
};

class CodeLookupTest : public ::testing::Test {
  protected:
    void Open(const CodeNames& names = {}) {
        dialog = std::make_unique<COptionsDialog>(copy, files, platform, names);
        dialog->show();
        page = dialog->CodesPage();
        page->Lookup()->SetLookup(fake.Function());
        entry = page->Entry();
        popup = page->Lookup()->List();
        status = dialog->findChild<QLabel*>(QString::number(IdStatusLine));
    }
    void Type(const QString& text) { QTest::keyClicks(entry, text); }
    bool WaitForList() {
        return QTest::qWaitFor([this] { return popup->isVisible(); }, 3000);
    }

    void TearDown() override {
        fake.Release();
        dialog.reset();
    }

    test::TempDir dir;
    SettingsFiles files{dir.path() / "vemo.ini", dir.path() / "registry"};
    TickerSettings copy = DefaultTickerSettings();
    FakeLookup fake;
    FakePlatform platform;
    std::unique_ptr<COptionsDialog> dialog;
    CCodesPage* page = nullptr;
    QLineEdit* entry = nullptr;
    QListWidget* popup = nullptr;
    QLabel* status = nullptr;
};

LookupOutcome Found(std::vector<SecurityMatch> matches) {
    LookupOutcome outcome;
    outcome.answered = true;
    outcome.provider = ProviderSina;
    outcome.matches = std::move(matches);
    return outcome;
}

TEST_F(CodeLookupTest, AsksOnceThreeHundredMillisecondsAfterTheLastKeyAndNotForACode) {
    Open();
    fake.Answer(Found({Match("600000", "浦发银行", SecurityKind::Stock)}));
    Type("p");
    QTest::qWait(200);
    Type("f");
    QTest::qWait(200);
    EXPECT_EQ(page->Lookup()->Started(), 0);
    ASSERT_TRUE(WaitForList());
    EXPECT_EQ(fake.Keys(), std::vector<std::string>{"pf"});
    EXPECT_EQ(Entries(popup), QStringList{"600000 浦发银行 股票"});
    EXPECT_EQ(popup->accessibleName(), "查询结果");

    // A complete code is added at once, as before, and never looked up.
    entry->clear();
    Type("600036");
    QTest::qWait(CCodeLookup::DelayMs + 200);
    QTest::keyClick(entry, Qt::Key_Return);
    EXPECT_EQ(Entries(page->List()), (QStringList{"1A0001", "399001", "600036"}));
    EXPECT_EQ(page->Lookup()->Started(), 1);
    EXPECT_FALSE(popup->isVisible());
}

TEST_F(CodeLookupTest, TypingNeverWaitsAndANewerTextCancelsTheOlderLookUp) {
    Open();
    fake.Hold();
    fake.Answer(Found({Match("600000", "浦发银行", SecurityKind::Stock)}));
    Type("pf");
    ASSERT_TRUE(QTest::qWaitFor([this] { return fake.Keys().size() == 1; }, 2000));
    // The first look-up hangs; typing goes on at once.
    QElapsedTimer typing;
    typing.start();
    Type("y");
    EXPECT_LT(typing.elapsed(), 200);
    EXPECT_EQ(entry->text(), "pfy");
    fake.Poke();
    ASSERT_TRUE(QTest::qWaitFor([this] { return fake.Cancelled() == 1; }, 2000));
    ASSERT_TRUE(QTest::qWaitFor([this] { return fake.Keys().size() == 2; }, 2000));
    EXPECT_EQ(fake.Keys().back(), "pfy");
    fake.Release();
    ASSERT_TRUE(WaitForList());
    EXPECT_EQ(popup->count(), 1);

    // An older answer that arrives after a newer text is dropped.
    fake.Stubborn();
    fake.Hold();
    Type("a");
    ASSERT_TRUE(QTest::qWaitFor([this] { return fake.Keys().size() == 3; }, 2000));
    Type("b");
    fake.Release();
    QTest::qWait(CCodeLookup::DelayMs / 2);
    EXPECT_FALSE(popup->isVisible());
    ASSERT_TRUE(WaitForList());
    EXPECT_EQ(fake.Keys().back(), "pfyab");
}

TEST_F(CodeLookupTest, KeyboardAloneChoosesAndTheChoiceIsAddedWithItsName) {
    Open();
    fake.Answer(Found({Match("601318", "中国平安", SecurityKind::Stock),
                       Match("000001", "平安银行", SecurityKind::Stock),
                       Match("1A0001", "上证指数", SecurityKind::Index)}));
    Type("pa");
    ASSERT_TRUE(WaitForList());
    QTest::keyClick(entry, Qt::Key_Down);
    QTest::keyClick(entry, Qt::Key_Down);
    QTest::keyClick(entry, Qt::Key_Down);
    QTest::keyClick(entry, Qt::Key_Up);
    EXPECT_EQ(popup->currentRow(), 1);
    QTest::keyClick(entry, Qt::Key_Return);
    EXPECT_FALSE(popup->isVisible());
    EXPECT_EQ(Entries(page->List()), (QStringList{"1A0001", "399001", "000001 平安银行"}));
    EXPECT_EQ(entry->text(), "");
    EXPECT_EQ(page->State().codes, (std::vector<std::string>{"1A0001", "399001", "000001"}));

    // The same checks as a typed code: the index is listed already.
    Type("sz");
    ASSERT_TRUE(WaitForList());
    QTest::keyClick(entry, Qt::Key_Up);
    QTest::keyClick(entry, Qt::Key_Down);
    QTest::keyClick(entry, Qt::Key_Down);
    QTest::keyClick(entry, Qt::Key_Enter);
    EXPECT_EQ(status->text(), "已添加过此项");
    EXPECT_EQ(page->List()->count(), 3);

    // Escape closes the list and nothing else.
    entry->clear();
    Type("zg");
    ASSERT_TRUE(WaitForList());
    QTest::keyClick(entry, Qt::Key_Escape);
    EXPECT_FALSE(popup->isVisible());
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(CodeLookupTest, AClickChoosesAndNamesFromTheWindowAreShown) {
    Open(CodeNames{{"1A0001", "上证指数"}});
    EXPECT_EQ(Entries(page->List()), (QStringList{"1A0001 上证指数", "399001"}));
    fake.Answer(Found({Match("601318", "中国平安", SecurityKind::Stock),
                       Match("510050", "50ETF", SecurityKind::Fund)}));
    Type("zg");
    ASSERT_TRUE(WaitForList());
    EXPECT_EQ(popup->item(1)->text(), "510050 50ETF 基金");
    const QRect second = popup->visualItemRect(popup->item(1));
    QTest::mouseClick(popup->viewport(), Qt::LeftButton, Qt::NoModifier, second.center());
    EXPECT_EQ(Entries(page->List()), (QStringList{"1A0001 上证指数", "399001", "510050 50ETF"}));
}

TEST_F(CodeLookupTest, AFailedLookUpShowsNothingAndSaysSoInTheTip) {
    Open();
    LookupOutcome failed;
    failed.attempts = {{ProviderSina, FetchFailed}, {ProviderTencent, LookupNotAnswer}};
    fake.Answer(failed);
    Type("pf");
    ASSERT_TRUE(QTest::qWaitFor([this] { return !entry->toolTip().isEmpty(); }, 3000));
    EXPECT_FALSE(popup->isVisible());
    EXPECT_TRUE(entry->toolTip().startsWith("查询失败")) << entry->toolTip().toStdString();
    EXPECT_TRUE(entry->toolTip().contains("新浪"));
    EXPECT_TRUE(entry->toolTip().contains("腾讯"));
    EXPECT_EQ(entry->accessibleDescription(), entry->toolTip());

    fake.Answer(Found({}));
    Type("x");
    ASSERT_TRUE(QTest::qWaitFor([this] { return entry->toolTip() == "没有找到: pfx"; }, 3000));
    fake.Answer(Found({Match("600000", "浦发银行", SecurityKind::Stock)}));
    Type("y");
    ASSERT_TRUE(WaitForList());
    EXPECT_EQ(entry->toolTip(), "");
}

TEST_F(CodeLookupTest, TheRealLookUpReachesTheServicesThroughTheProxySettings) {
    MarketSimulator sim;
    ASSERT_EQ(sim.Start(0), 0);
    copy.proxyMode = 1;
    std::snprintf(copy.proxyServer, sizeof copy.proxyServer, "127.0.0.1:%u",
                  static_cast<unsigned>(sim.Port()));
    Open();
    page->Lookup()->SetLookup(NetworkCodeLookup(copy));
    Type("nsld");
    ASSERT_TRUE(WaitForList());
    EXPECT_EQ(Entries(popup), QStringList{"430047 诺思兰德 股票"});
    EXPECT_EQ(sim.RequestCount(), 2u);  // Sina has no Beijing shares
}

}  // namespace
}  // namespace vemo
