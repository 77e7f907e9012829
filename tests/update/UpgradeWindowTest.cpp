#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

#include <fcntl.h>
#include <sys/file.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "app/TickerWindow.h"
#include "app/UpgradeRunner.h"
#include "app/browser/WebBrowser2.h"
#include "platform/x11/X11Platform.h"
#include "settings/AppStore.h"
#include "settings/UniqueFd.h"
#include "tests/update/MakerServerFixture.h"
#include "update/HandOff.h"

namespace vemo {
namespace {

namespace fs = std::filesystem;

// Receives what the window would open in the user's web browser.
class UrlCatcher : public QObject {
    Q_OBJECT

  public:
    QList<QUrl> opened;

  public slots:
    void open(const QUrl& url) { opened << url; }
};

// The ticker window with the simulator as quote service (its own proxy setting) and as the
// maker's server (through http_proxy).
class UpgradeWindowTest : public test::MakerServerTest {
  protected:
    void SetUp() override {
        MakerServerTest::SetUp();
        sim.SetMoving(false);
        settings = DefaultTickerSettings();
        std::strcpy(settings.codeList, ",600000");
        settings.proxyMode = proxyUseServer;
        std::snprintf(settings.proxyServer, sizeof settings.proxyServer, "127.0.0.1:%u",
                      static_cast<unsigned>(sim.Port()));
        paths.settingsFiles = {setup.programFolder / "vemo.ini", setup.appStore};
        paths.pageFile = dir.path() / "vemotmp.htm";
        paths.update = setup;
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "open");
    }
    void TearDown() override {
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        window.reset();
        MakerServerTest::TearDown();
    }

    // Starts the window and waits for its notice check to end.
    void StartAndCheck() {
        SaveSettings(settings, paths.settingsFiles);
        window = std::make_unique<CTickerWindow>(paths, platform);
        QSignalSpy checked(window->Upgrade(), &CUpgradeRunner::noticeChecked);
        window->Start();
        ASSERT_TRUE(checked.wait(15000));
    }
    int Upgrade() {
        QSignalSpy finished(window->Upgrade(), &CUpgradeRunner::upgradeFinished);
        window->OnCommand(CmdUpgrade);
        // A refusal ends within the command itself.
        return !finished.isEmpty() || finished.wait(15000) ? finished.at(0).at(0).toInt() : -100;
    }
    // The message box on screen: its text, after checking caption, icon and button.
    QString MessageText() {
        QMessageBox* box = window->findChild<QMessageBox*>();
        if (box == nullptr) {
            return {};
        }
        EXPECT_TRUE(box->isVisible());
        EXPECT_EQ(box->windowTitle(), QStringLiteral("提示"));
        EXPECT_EQ(box->icon(), QMessageBox::Information);
        EXPECT_EQ(box->buttons().size(), 1);
        EXPECT_EQ(box->button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
        const QString text = box->text();
        box->button(QMessageBox::Ok)->click();
        QApplication::processEvents();
        return text;
    }
    QLabel* NoticeLine() const { return window->findChild<QLabel*>(QString::number(IdNoticeLine)); }

    TickerSettings settings{};
    TickerPaths paths;
    UrlCatcher catcher;
    X11Platform platform;  // links reach QDesktopServices, whose handler the test replaces
    std::unique_ptr<CTickerWindow> window;
};

const QString FailureText =
    QStringLiteral("升级失败，可能防火墙阻止了VEMO升级。\n请到www.quorvane.com下载最新版。");

TEST_F(UpgradeWindowTest, NoticeShowsInTheNoticeLineAndItsLinkOpens) {
    SimMakerAnswer answer;
    answer.infoVer = 44;
    answer.info = "新版本已发布";
    // The answer is GBK, the link's Chinese name too.
    answer.infourl = "http://www.quorvane.com/新闻.htm";
    Answer(SimMakerScript::VersionCheck, answer);
    StartAndCheck();
    EXPECT_EQ(NoticeLine()->text(), QStringLiteral("新版本已发布"));
    ASSERT_TRUE(window->NoticeLinkActive());

    QTest::mouseClick(window.get(), Qt::LeftButton, {}, NoticeLine()->geometry().center());
    EXPECT_EQ(catcher.opened,
              QList<QUrl>{QUrl(QStringLiteral("http://www.quorvane.com/新闻.htm"))});
    EXPECT_EQ(NoticeLine()->text(), QString());
    EXPECT_FALSE(window->NoticeLinkActive());
    // Once only.
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, NoticeLine()->geometry().center());
    EXPECT_EQ(catcher.opened.size(), 1);
}

TEST_F(UpgradeWindowTest, NoticeWithoutLinkIsNoLink) {
    SimMakerAnswer answer;
    answer.infoVer = 44;
    answer.info = "只是通知";
    Answer(SimMakerScript::VersionCheck, answer);
    StartAndCheck();
    EXPECT_EQ(NoticeLine()->text(), QStringLiteral("只是通知"));
    EXPECT_FALSE(window->NoticeLinkActive());
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, NoticeLine()->geometry().center());
    EXPECT_TRUE(catcher.opened.isEmpty());
    EXPECT_EQ(NoticeLine()->text(), QStringLiteral("只是通知"));
}

TEST_F(UpgradeWindowTest, RememberedMandatoryUpdateShowsTheUpgradePage) {
    const std::uint32_t build = 44;
    ASSERT_EQ(WriteAppValue(setup.appStore, "Update", RegDword, &build, sizeof build), AppStoreOk);
    StartAndCheck();
    // Whichever came first, the page ends up as the upgrade notice.
    QSignalSpy shown(window.get(), &CTickerWindow::pageShown);
    for (int i = 0; i < 3 && !window->Browser()->toPlainText().contains(
                                 QStringLiteral("版本需要升级才能正常使用"));
         ++i) {
        shown.wait(5000);
    }
    EXPECT_TRUE(
        window->Browser()->toPlainText().contains(QStringLiteral("版本需要升级才能正常使用")));
    // No question to the maker's server: only quote requests.
    for (const SimRequest& request : sim.Requests()) {
        EXPECT_EQ(request.url.find("quorvane"), std::string::npos) << request.url;
    }
}

TEST_F(UpgradeWindowTest, MandatoryUpdateOfAnInstalledProgramPointsToThePackageManager) {
    paths.update.packageManaged = true;
    const std::uint32_t build = 44;
    ASSERT_EQ(WriteAppValue(setup.appStore, "Update", RegDword, &build, sizeof build), AppStoreOk);
    StartAndCheck();
    const QString words = QStringLiteral("请用软件包管理器升级");
    QSignalSpy shown(window.get(), &CTickerWindow::pageShown);
    for (int i = 0; i < 3 && !window->Browser()->toPlainText().contains(words); ++i) {
        shown.wait(5000);
    }
    EXPECT_TRUE(window->Browser()->toPlainText().contains(words));
    EXPECT_FALSE(window->Browser()->toPlainText().contains(QStringLiteral("查看新版本")));
}

TEST_F(UpgradeWindowTest, UpgradeResultsAreShownInAMessageBox) {
    StartAndCheck();
    SimMakerAnswer current;  // infoVer 43
    Answer(SimMakerScript::Update, current);
    EXPECT_EQ(Upgrade(), AlreadyNewest);
    EXPECT_EQ(MessageText(), QStringLiteral("已经是最新版本无须升级"));

    SimMakerAnswer noAddress;
    noAddress.infoVer = 44;
    Answer(SimMakerScript::Update, noAddress);
    EXPECT_EQ(Upgrade(), UpdateAnswerNoAddress);
    EXPECT_EQ(MessageText(), FailureText);
    EXPECT_TRUE(window->isVisible());
}

// A program that the package manager installed asks for the notice but never replaces itself.
TEST_F(UpgradeWindowTest, PackageManagedProgramLeavesTheUpgradeToThePackageManager) {
    paths.update.packageManaged = true;
    SimMakerAnswer newer;
    newer.infoVer = 44;
    Answer(SimMakerScript::Update, newer);
    StartAndCheck();
    sim.ClearRequests();
    EXPECT_EQ(Upgrade(), PackageManaged);
    EXPECT_EQ(MessageText(), QString::fromUtf8(PackageManagedUpgradeText));
    for (const SimRequest& request : sim.Requests()) {
        EXPECT_EQ(request.url.find("quorvane"), std::string::npos) << request.url;
    }
    EXPECT_FALSE(fs::exists(setup.programFolder / "VEMO.new"));
    EXPECT_FALSE(fs::exists(setup.programFolder / "VemoUpdater"));
    EXPECT_TRUE(window->isVisible());
}

TEST_F(UpgradeWindowTest, ProgressWindowOffersCancelAndASecondUpgradeDoesNothing) {
    StartAndCheck();
    SimMakerAnswer release;
    release.infoVer = 44;
    release.dlurl = "http://www.quorvane.com/download/VEMO";
    Answer(SimMakerScript::Update, release);
    sim.SetDownload("/download/VEMO", std::string(1000, 'x'));
    // The download hangs once it has been asked for.
    sim.SetObserver([this](const SimRequest& request) {
        if (request.url.find("/download/") != std::string::npos) {
            SimBehaviour hang;
            hang.failure = SimFailure::Hang;
            sim.SetBehaviour(SimService::Maker, hang);
        }
    });
    sim.ClearRequests();
    QSignalSpy finished(window->Upgrade(), &CUpgradeRunner::upgradeFinished);
    window->OnCommand(CmdUpgrade);
    ASSERT_TRUE(sim.WaitForRequests(2, std::chrono::seconds(10)));
    QProgressDialog* progress = window->Upgrade()->ProgressWindow();
    ASSERT_NE(progress, nullptr);
    EXPECT_TRUE(progress->isVisible());
    EXPECT_TRUE(window->Upgrade()->UpgradeRunning());

    window->OnCommand(CmdUpgrade);
    QTest::qWait(300);
    EXPECT_EQ(window->Upgrade()->ProgressWindow(), progress);
    EXPECT_EQ(sim.RequestCount(), 2u);

    QPushButton* cancel = nullptr;
    for (QPushButton* button : progress->findChildren<QPushButton*>()) {
        if (button->text() == QStringLiteral("取消")) {
            cancel = button;
        }
    }
    ASSERT_NE(cancel, nullptr);
    cancel->click();
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(finished.at(0).at(0).toInt(), NewProgramFailed);
    EXPECT_EQ(window->Upgrade()->ProgressWindow(), nullptr);
    // A cancel the user asked for is no failure to report.
    QApplication::processEvents();
    EXPECT_EQ(window->findChild<QMessageBox*>(), nullptr);
    EXPECT_FALSE(fs::exists(setup.programFolder / NewProgramName));
    EXPECT_FALSE(fs::exists(setup.programFolder / UpdaterName));
}

TEST_F(UpgradeWindowTest, ExitDuringAnUpgradeEndsPromptly) {
    StartAndCheck();
    SimMakerAnswer release;
    release.infoVer = 44;
    release.dlurl = "http://www.quorvane.com/download/VEMO";
    Answer(SimMakerScript::Update, release);
    SimBehaviour hang;
    hang.failure = SimFailure::Hang;
    sim.SetBehaviour(SimService::Maker, hang);
    window->OnCommand(CmdUpgrade);
    ASSERT_TRUE(sim.WaitForRequests(1, std::chrono::seconds(10)));
    const auto started = std::chrono::steady_clock::now();
    window->OnCommand(CmdExit);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
    EXPECT_FALSE(window->Upgrade()->UpgradeRunning());
    EXPECT_EQ(window->findChild<QMessageBox*>(), nullptr);
}

// Whether a thread of this process carries that name.
bool ThreadRunning(const char* name) {
    for (const fs::directory_entry& task : fs::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string line;
        if (std::getline(comm, line) && line == name) {
            return true;
        }
    }
    return false;
}

TEST_F(UpgradeWindowTest, ExitTellsEveryThreadAtOnceAndSavesWhenTheyHaveEnded) {
    // Another program of the user's holds the store while it writes: the notice thread waits
    // for it inside its first write (the new installation identifier).
    SaveSettings(settings, paths.settingsFiles);
    const UniqueFd storeFolder(
        ::open(setup.appStore.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    ASSERT_GE(storeFolder.get(), 0);
    ASSERT_EQ(::flock(storeFolder.get(), LOCK_EX), 0);
    window = std::make_unique<CTickerWindow>(paths, platform);
    QSignalSpy shown(window.get(), &CTickerWindow::pageShown);
    window->Start();
    ASSERT_TRUE(shown.wait(15000));
    ASSERT_TRUE(ThreadRunning("vemo-refresh"));
    ASSERT_TRUE(ThreadRunning("vemo-notice"));

    // The other program lets go only once the refresh thread has ended, which it can do at once
    // when it is told to stop: the exit must not wait for the notice thread before it tells the
    // refresh thread (nor write the store before the notice thread has let go of it).
    bool refreshEndedFirst = false;
    std::thread otherProgram([&] {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (ThreadRunning("vemo-refresh") && std::chrono::steady_clock::now() < giveUp) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        refreshEndedFirst = !ThreadRunning("vemo-refresh");
        ::flock(storeFolder.get(), LOCK_UN);
    });
    window->OnCommand(CmdExit);
    otherProgram.join();
    EXPECT_TRUE(refreshEndedFirst);
    EXPECT_FALSE(ThreadRunning("vemo-notice"));

    // Both the notice thread's value and the window's are in the store.
    char guid[64] = {};
    EXPECT_EQ(ReadAppValue(setup.appStore, "Guid", guid, sizeof guid - 1), AppStoreOk);
    EXPECT_EQ(std::strlen(guid), 36u);
    char codes[16] = {};
    EXPECT_EQ(ReadAppValue(setup.appStore, "VemoCode", codes, sizeof codes - 1), AppStoreOk);
    EXPECT_STREQ(codes, ",600000");
    WindowState state{};
    EXPECT_EQ(LoadWindowState(state, paths.settingsFiles), 1);
}

}  // namespace
}  // namespace vemo

#include "UpgradeWindowTest.moc"
