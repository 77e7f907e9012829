#include "app/TickerWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPixmapCache>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWindow>

#include <pthread.h>

#include <cstdio>
#include <string>

#include "app/AlertCentre.h"
#include "app/DesktopCheck.h"
#include "app/TickerHost.h"
#include "app/TickerTray.h"
#include "app/UpgradeRunner.h"
#include "app/WindowLayout.h"
#include "app/browser/WebBrowser2.h"
#include "options/ColourSwatch.h"
#include "options/UrlOpener.h"
#include "platform/Platform.h"
#include "settings/Version.h"

namespace vemo {

namespace {

constexpr char LoadingText[] = "Loading...";

std::uint32_t WindowBackground(const TickerSettings& settings) {
    return (settings.optionFlags & customColors) != 0 ? settings.backgroundColor
                                                      : DefaultBackgroundColor;
}

void Place(QWidget* widget, const PixelRect& rect) {
    widget->setGeometry(rect.x, rect.y, rect.width, rect.height);
}

}  // namespace

CTickerWindow::CTickerWindow(const TickerPaths& paths, DesktopPlatform& platform)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      paths_(paths),
      platform_(platform),
      settings_(DefaultTickerSettings()),
      holdings_(paths.settingsFiles.appStore.parent_path() / HoldingsFileName),
      appIcon_(QStringLiteral(":/icons/128.png")),
      seeThrough_(std::make_unique<SeeThroughMode>(static_cast<SeeThroughMode::Window&>(*this),
                                                   platform)) {
    setWindowTitle(QString::fromLatin1(VersionText));
    setWindowIcon(appIcon_);
    setMouseTracking(true);
    setAttribute(Qt::WA_AlwaysShowToolTips);
    resize(InitialWidth, InitialHeight);

    AddStrip();

    browser_ = new CWebBrowser2(this);
    browser_->setObjectName(QString::number(IdBrowser));
    browser_->setAccessibleName(QStringLiteral("行情"));
    browser_->setGeometry(0, TitleStripHeight, InitialWidth, InitialHeight - 30);
    // A name's link without a browser to open it shows its address instead.
    browser_->SetLinkOpener([this](const QUrl& url) { return OpenInBrowser(platform_, url); });

    loadingIndicator_ = new QLabel(QString::fromLatin1(LoadingText), this);
    loadingIndicator_->setObjectName(QString::number(IdLoadingIndicator));
    loadingIndicator_->setAlignment(Qt::AlignCenter);
    loadingIndicator_->setWordWrap(true);
    loadingIndicator_->setAutoFillBackground(true);
    loadingIndicator_->setGeometry(0, TitleStripHeight, InitialWidth, InitialHeight - 30);

    noticeLine_ = new QLabel(this);
    noticeLine_->setObjectName(QString::number(IdNoticeLine));
    noticeLine_->setAutoFillBackground(true);
    noticeLine_->setAttribute(Qt::WA_TransparentForMouseEvents);
    noticeLine_->setGeometry(5, InitialHeight - 15, InitialWidth - 5, 15);

    tray_ = new TickerTray(*this,
                           [this] { return MenuChecks{seeThrough_->On(), alerts_->On()}; });
    connect(tray_, &TickerTray::showRequested, this, &CTickerWindow::ShowFromTray);
    connect(tray_, &TickerTray::commandChosen, this, &CTickerWindow::OnCommand);

    connect(&platform_, &DesktopPlatform::hotKeyPressed, this, &CTickerWindow::OnHotKey);

    alerts_ = std::make_unique<AlertCentre>(paths_.settingsFiles, tray_->Icon());
    alerts_->WatchPage(browser_, [this] {
        return (settings_.Get().pageContent & showHeader) != 0 ? 2 : 0;
    });
    host_ = std::make_unique<Host>(*this);
    cycle_ = std::make_unique<RefreshCycle>(*host_);
    upgrade_ = std::make_unique<CUpgradeRunner>(*this, paths_.update);
    connect(upgrade_.get(), &CUpgradeRunner::noticeArrived, this, &CTickerWindow::ShowNotice);
    connect(upgrade_.get(), &CUpgradeRunner::noticeLinkArrived, this,
            &CTickerWindow::SetNoticeLink);
    connect(upgrade_.get(), &CUpgradeRunner::upgradeNoticeDue, this, [this] {
        // A hidden window renders anew when it is shown.
        if (isVisible()) {
            SetRefreshState(settingsChanged);
        }
    });
    connect(upgrade_.get(), &CUpgradeRunner::exitRequested, this, [this] { OnCommand(CmdExit); });
}

CTickerWindow::~CTickerWindow() {
    EndRun();
}

void CTickerWindow::SetLocalClock(LocalClock clock) {
    host_->clock_ = std::move(clock);
}

void CTickerWindow::Start() {
    started_ = true;
    // The settings file lives beside the program, whatever folder the program started in.
    std::error_code ignored;
    std::filesystem::current_path(paths_.settingsFiles.iniFile.parent_path(), ignored);

    TickerSettings loaded = DefaultTickerSettings();
    LoadSettings(loaded, paths_.settingsFiles);
    settings_.Replace(loaded);
    LoadHoldingsFile();
    LoadWindowState(windowState_, paths_.settingsFiles);
    if (OnWayland()) {
        for (const std::string& line : WaylandLimits()) {
            std::fprintf(stderr, "%s\n", line.c_str());
        }
    }
    alerts_->Load();
    if ((loaded.optionFlags & alwaysOnTop) == 0) {
        setWindowFlag(Qt::WindowStaysOnTopHint, false);
    }
    ApplyColours();

    // Centred on the screen, then the saved position for each coordinate that lies on it.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const PixelPoint start =
        RestoredPosition(windowState_.windowRect.left, windowState_.windowRect.top,
                         {screen.x() + (screen.width() - width()) / 2,
                          screen.y() + (screen.height() - height()) / 2},
                         screen.width(), screen.height());
    const int left = start.x;
    const int top = start.y;
    move(left, top);
    chosenPosition_ = QPoint(left, top);
    lastWindowRect = {left, top, left + width(), top + height()};
    Place(stripFiller_, {50, 0, width() - 50, TitleStripHeight});

    if (windowState_.transparent != 0) {
        ToggleTransparency();
    }
    cycle_->refreshState.store(settingsChanged);
    refreshThread_ = std::thread([this] {
        pthread_setname_np(pthread_self(), "vemo-refresh");
        cycle_->Run();
    });
    upgrade_->StartNoticeCheck();

    tray_->Icon()->show();
    winId();  // the native window, before it is first shown
    DressNativeWindow();
    ShowOrHideAtStart();
    RegisterShowHideHotKey();
    upgrade_->StartCleanUp();
}

void CTickerWindow::LoadHoldingsFile() {
    for (const std::string& problem : holdings_.Load()) {
        std::fprintf(stderr, "VEMO: %s\n", problem.c_str());
    }
}

void CTickerWindow::ReplaceSettings(const TickerSettings& settings) {
    settings_.Replace(settings);
    alerts_->LoadRules();
    ApplyColours();
    loadingIndicator_->show();
    loadingIndicator_->raise();
    repaint();
    if (seeThrough_->On()) {
        // Off and on again: the new background becomes the see-through colour.
        ToggleTransparency();
        ToggleTransparency();
    }
    cycle_->Request(settingsChanged);
}

QColor CTickerWindow::BackgroundColour() const {
    return FromColorRef(WindowBackground(settings_.Get()));
}

void CTickerWindow::ApplyColours() {
    const std::uint32_t background = WindowBackground(settings_.Get());
    // The notice text is the background's complement, as the colour arithmetic of the
    // original window gives it; only its low 24 bits make a colour.
    const std::uint32_t text = (0x01FEFFFFu - background) & 0xFFFFFFu;
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, FromColorRef(background));
    palette.setColor(QPalette::WindowText, FromColorRef(text));
    setPalette(palette);
    loadingIndicator_->setPalette(palette);
    noticeLine_->setPalette(palette);
    update();
}

void CTickerWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), BackgroundColour());
}

void CTickerWindow::DressNativeWindow() {
    QWindow* native = windowHandle();
    if (native == nullptr) {
        return;
    }
    platform_.DressToolWindow(*native, "VEMO", "VemoMFrame");
}

void CTickerWindow::ApplyWindowSettings(const TickerSettings& settings) {
    const bool onTop = (settings.optionFlags & alwaysOnTop) != 0;
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) != onTop) {
        // For the new flag Qt would make a new native window as it shows the window, and map it
        // before it could be given the class and task-bar state of the old one. The new one is
        // made here instead (Qt gives it the mask), and dressed before it is shown.
        const bool shown = isVisible();
        setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
        destroy();
        create();
        DressNativeWindow();
        if (shown) {
            show();
        }
    }
    seeThrough_->UpdateHoverTimer(settings.optionFlags);
}

void CTickerWindow::FitWindowToTable(const TickerSettings& settings, int rows, int cols) {
    const TableLayout layout = LayoutForTable(rows, cols, settings.fontSize, settings.pageContent);
    // From where the user put the window, as far up and left as it takes to be whole.
    const QPoint topLeft = PlaceOnScreen(layout.width, layout.height);
    setGeometry(topLeft.x(), topLeft.y(), layout.width, layout.height);
    lastWindowRect = {topLeft.x(), topLeft.y(), topLeft.x() + layout.width,
                      topLeft.y() + layout.height};
    Place(browser_, layout.browser);
    Place(noticeLine_, layout.noticeLine);
    Place(loadingIndicator_, layout.loadingIndicator);
    Place(stripFiller_, layout.filler);
    Place(refreshButton_, layout.refreshButton);
    // A new size re-shows and raises the window (hide-at-start may still keep it hidden). The
    // see-through mask follows with the page, which comes next (ShowPage or
    // ShowPageFileProblem).
    ShowOrHideAtStart();
}

QPoint CTickerWindow::PlaceOnScreen(int width, int height) {
    const QScreen* screen = QGuiApplication::screenAt(chosenPosition_);
    if (screen == nullptr) {
        screen = this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen();
    }
    const QRect area = screen->availableGeometry();
    const PixelPoint placed = KeepInside({chosenPosition_.x(), chosenPosition_.y()}, width, height,
                                         {area.x(), area.y(), area.width(), area.height()});
    placedPosition_ = QPoint(placed.x, placed.y);
    return placedPosition_;
}

void CTickerWindow::ShowOrHideAtStart() {
    const bool hideNow = (settings_.Get().optionFlags & hideAtStart) != 0 && hideAtStartCount_ > 0;
    if (hideAtStartCount_ > 0) {
        --hideAtStartCount_;
    }
    if (hideNow) {
        hide();
        return;
    }
    show();
    raise();
}

void CTickerWindow::ShowPage(const QByteArray& page) {
    if (!browser_->ShowPage(page)) {
        // The old page stays, and so does the loading indicator, masked at the window's size.
        seeThrough_->UpdateMask();
        return;
    }
    loadingIndicator_->hide();
    loadingIndicator_->setText(QString::fromLatin1(LoadingText));
    loadingIndicator_->setToolTip(QString());
    seeThrough_->UpdateMask();
    emit pageShown();
}

void CTickerWindow::ShowPageFileProblem() {
    const QString path = QString::fromStdString(paths_.pageFile.string());
    loadingIndicator_->setText(QStringLiteral("无法写入页面文件\n") +
                               loadingIndicator_->fontMetrics().elidedText(
                                   path, Qt::ElideMiddle, loadingIndicator_->width() - 4));
    loadingIndicator_->setToolTip(path);
    seeThrough_->UpdateMask();
}

void CTickerWindow::ShowNotice(const QString& text) {
    noticeLine_->setText(text);
    seeThrough_->UpdateMask();  // a see-through window shows the new text at once
}

void CTickerWindow::SetNoticeLink(const QUrl& link) {
    noticeLink_ = link;
    noticeLinkActive_ = !link.isEmpty();
}

void CTickerWindow::SetTickerVisible(bool show) {
    if (show) {
        // A show the user asks for ends hiding at start.
        hideAtStartCount_ = 0;
        showNormal();
        raise();
        activateWindow();
        cycle_->Request(refreshRequested);
        seeThrough_->UpdateHoverTimer(settings_.Get().optionFlags);
        return;
    }
    hide();
    seeThrough_->StopHoverTimer();
    // Trim once the window is gone from the screen, so its buffers can go too.
    QTimer::singleShot(200, this, [this] {
        QPixmapCache::clear();
        platform_.TrimMemory();
    });
}

void CTickerWindow::SetStripVisible(bool visible) {
    stripLeft_->setVisible(visible);
    stripFiller_->setVisible(visible);
    refreshButton_->setVisible(visible);
}

void CTickerWindow::ToggleTransparency() {
    if (OnWayland()) {
        return;  // no colour key there: said once at the start
    }
    seeThrough_->Toggle(settings_.Get().optionFlags);
}

void CTickerWindow::SetTextAntialiasing(bool on) {
    // The colour key removes only pixels of exactly the background colour: blended glyph edges
    // would stay as a fringe of it around every character.
    browser_->SetTextAntialiasing(on);
    for (QLabel* label : {loadingIndicator_, noticeLine_}) {
        QFont font = label->font();
        font.setStyleStrategy(on ? QFont::PreferDefault : QFont::NoAntialias);
        label->setFont(font);
    }
}

void CTickerWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    lastWindowRect = {x(), y(), x() + width(), y() + height()};
    // Any move but the one a fit made to keep the window on its screen is the user's choice.
    if (pos() != placedPosition_) {
        chosenPosition_ = pos();
    }
}

void CTickerWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    visible_.store(true);
    host_->Wake();  // timed refreshes skipped while hidden are due now
    seeThrough_->UpdateHoverTimer(settings_.Get().optionFlags);
}

void CTickerWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    visible_.store(false);
    seeThrough_->StopHoverTimer();
}

void CTickerWindow::keyPressEvent(QKeyEvent* event) {
    // The ticker is a dialog: Enter and Escape end it, as the close request does.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CTickerWindow::closeEvent(QCloseEvent* event) {
    EndRun();
    event->accept();
    QApplication::quit();
}

void CTickerWindow::EndSession() {
    EndRun();
    hide();
    // exit, not quit: it also ends a message box's loop that may be running (one at the start,
    // say), where quit would only ask the windows to close.
    QCoreApplication::exit(0);
}

bool CTickerWindow::OnWayland() const {
    return platform_.OnWayland();
}

void CTickerWindow::EndRun() {
    if (!started_ || ended_) {
        return;
    }
    ended_ = true;
    tray_->Icon()->hide();
    platform_.UnregisterHotKey();
    // Every thread is told first and waited for after: a transfer in progress is cancelled, which
    // can take up to a second each, and the cancels then run side by side.
    upgrade_->RequestStop();
    host_->Stop();
    upgrade_->Join();
    if (refreshThread_.joinable()) {
        refreshThread_.join();
    }
    // Saved last, when no other thread writes the per-user store any more; the position is the
    // one the user chose, not where a long list had to move the window.
    windowState_.windowRect = {chosenPosition_.x(), chosenPosition_.y(),
                               chosenPosition_.x() + width(), chosenPosition_.y() + height()};
    windowState_.transparent = seeThrough_->On() ? 1 : 0;
    SaveAtExit(windowState_, settings_.Get(), paths_.settingsFiles, stderr);
}

}  // namespace vemo
