#include "app/TickerWindow.h"

#include <QApplication>
#include <QBitmap>
#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmapCache>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolTip>
#include <QUrl>
#include <QWindow>

#include <pthread.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

#include "app/AlertCentre.h"
#include "app/DesktopCheck.h"
#include "app/PageFile.h"
#include "app/StripButton.h"
#include "app/UpgradeRunner.h"
#include "app/WallClockWait.h"
#include "app/WindowLayout.h"
#include "app/X11Window.h"
#include "app/browser/WebBrowser2.h"
#include "app/desktop/GlobalHotKey.h"
#include "app/desktop/MemoryTrim.h"
#include "net/Endpoints.h"
#include "options/AboutBox.h"
#include "options/ColourSwatch.h"
#include "options/OptionsDialog.h"
#include "quotes/Gbk.h"
#include "options/UrlOpener.h"
#include "quotes/QuotePage.h"
#include "quotes/QuoteUrl.h"
#include "settings/Version.h"

namespace vemo {

namespace {

constexpr char LoadingText[] = "Loading...";

// The window's size before the first table is fitted: the dialog template's 137 x 47 units.
constexpr int InitialWidth = 206;
constexpr int InitialHeight = 71;

std::uint32_t WindowBackground(const TickerSettings& settings) {
    return (settings.optionFlags & customColors) != 0 ? settings.backgroundColor
                                                      : DefaultBackgroundColor;
}

QLabel* MakeStripPiece(QWidget* parent, int id, const char* bitmap) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::number(id));
    label->setPixmap(QPixmap(QString::fromLatin1(bitmap)));
    label->setScaledContents(true);
    // Clicks on the strip are the window's: its areas are hit-tested by position.
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

void Place(QWidget* widget, const PixelRect& rect) {
    widget->setGeometry(rect.x, rect.y, rect.width, rect.height);
}

bool OnWayland() {
    return IsWaylandPlatform(QGuiApplication::platformName().toStdString());
}

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

// The refresh thread's view of the window. Everything that touches a widget is queued to the
// interface thread; the thread itself only sleeps, fetches, renders and writes the page file.
class CTickerWindow::Host : public RefreshHost {
  public:
    explicit Host(CTickerWindow& window) : window_(window), session_(NetworkFetchers(Options())) {
        session_.SetUpgradeByPackageManager(window.paths_.update.packageManaged);
        // Alerts are judged here, on the refresh thread, as each page is written; what fired
        // is told on the interface thread.
        session_.SetRowMarker([this](std::span<const QuoteRecord> rows, const char* dataTime,
                                     bool fresh) {
            AlertMonitor::Review review =
                window_.alerts_->ReviewRows(rows, dataTime, fresh, LocalTime(Now()));
            if (!review.fired.empty()) {
                Queue([this, fired = std::move(review.fired)] { window_.alerts_->Tell(fired); });
            }
            return std::move(review.marks);
        });
    }

    void Stop() {
        stopping_ = true;
        waiter_.Stop();
    }

    bool WaitUntil(std::optional<WallClock::time_point> until) override {
        return waiter_.WaitUntil(until) != WallClockWait::Woken::Stopped && Running();
    }
    void Wake() override { waiter_.Wake(); }
    bool Running() override { return !stopping_.load(); }
    WallClock::time_point Now() override { return WallClock::now(); }
    std::tm LocalTime(WallClock::time_point at) override {
        if (clock_) {
            return clock_();
        }
        const std::time_t seconds = WallClock::to_time_t(at);
        std::tm local{};
        localtime_r(&seconds, &local);
        return local;
    }
    bool WindowVisible() override { return window_.visible_.load(); }
    TickerSettings Settings() override { return window_.settings_.Get(); }

    void ApplyWindowSettings(const TickerSettings& settings) override {
        BuildQuoteUrl(settings, quoteUrl_);
        Queue([this, settings] { window_.ApplyWindowSettings(settings); });
    }
    void ShowLoadingIndicator() override {
        Queue([this] {
            window_.loadingIndicator_->show();
            window_.loadingIndicator_->raise();
        });
    }
    RefreshReport Render(const TickerSettings& settings, std::span<char> page, int& rows,
                         int& cols) override {
        const std::shared_ptr<const LoadedHoldings> holdings = window_.holdings_.Current();
        const RefreshReport report =
            session_.Render(settings, quoteUrl_, window_.upgrade_->UpdateRequired(), page, rows,
                            cols, holdings->Shown());
        window_.holdings_.NoteNames(session_.KeptNames());
        return report;
    }
    void FitWindowToTable(const TickerSettings& settings, int rows, int cols) override {
        Queue([this, settings, rows, cols] { window_.FitWindowToTable(settings, rows, cols); });
    }
    void Publish(std::string_view page) override {
        // An unwritable page file leaves the last page and the loading indicator on screen,
        // and the indicator says why.
        if (!WritePageFile(window_.paths_.pageFile, page)) {
            Queue([this] { window_.ShowPageFileProblem(); });
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        Queue([this] { window_.ShowPage(); });
    }

    // Set before the refresh thread starts, read only by it.
    LocalClock clock_;

  private:
    FetchOptions Options() {
        FetchOptions options;
        options.cancel = &stopping_;
        return options;
    }

    template <typename F>
    void Queue(F&& work) {
        QMetaObject::invokeMethod(&window_, std::forward<F>(work), Qt::QueuedConnection);
    }

    CTickerWindow& window_;
    WallClockWait waiter_;
    std::atomic<bool> stopping_{false};
    QuotePageSession session_;  // the last quotes, kept for a refresh in which all services fail
    std::string quoteUrl_;      // the refresh thread's own
};

CTickerWindow::CTickerWindow(const TickerPaths& paths)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      paths_(paths),
      settings_(DefaultTickerSettings()),
      holdings_(paths.settingsFiles.appStore.parent_path() / HoldingsFileName),
      appIcon_(QStringLiteral(":/icons/128.png")) {
    setWindowTitle(QString::fromLatin1(VersionText));
    setWindowIcon(appIcon_);
    setMouseTracking(true);
    setAttribute(Qt::WA_AlwaysShowToolTips);
    resize(InitialWidth, InitialHeight);

    stripLeft_ = MakeStripPiece(this, IdStripLeft, ":/bitmaps/140.png");
    stripLeft_->setGeometry(0, 0, 50, TitleStripHeight);
    stripFiller_ = MakeStripPiece(this, IdStripFiller, ":/bitmaps/141.png");
    refreshButton_ = MakeStripPiece(this, IdRefreshButton, ":/bitmaps/147.png");
    refreshButton_->setGeometry(InitialWidth - 20, 0, 20, TitleStripHeight);
    AddStripButtons();

    browser_ = new CWebBrowser2(this);
    browser_->setObjectName(QString::number(IdBrowser));
    browser_->setAccessibleName(QStringLiteral("行情"));
    // A name's link without a browser to open it shows its address instead.
    browser_->SetLinkOpener([](const QUrl& url) { return OpenInBrowser(url); });
    browser_->setGeometry(0, TitleStripHeight, InitialWidth, InitialHeight - 30);

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

    trayIcon_ = new QSystemTrayIcon(QIcon(QStringLiteral(":/icons/142.png")), this);
    trayIcon_->setToolTip(QString::fromLatin1(VersionText));
    // Queued: the menu and the commands it starts (Exit removes the icon) run after the icon
    // has finished handling its own mouse event.
    connect(
        trayIcon_, &QSystemTrayIcon::activated, this,
        [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::DoubleClick) {
                OnTrayCallback(TrayLeftDoubleClick);
            } else if (reason == QSystemTrayIcon::Context) {
                OnTrayCallback(TrayRightButtonUp);
            }
        },
        Qt::QueuedConnection);

    hotKey_ = new GlobalHotKey(this);
    connect(hotKey_, &GlobalHotKey::activated, this, &CTickerWindow::OnHotKey);

    alerts_ = std::make_unique<AlertCentre>(paths_.settingsFiles, trayIcon_);
    alerts_->WatchPage(browser_, [this] {
        return (settings_.Get().pageContent & showHeader) != 0 ? 2 : 0;
    });
    host_ = std::make_unique<Host>(*this);
    cycle_ = std::make_unique<RefreshCycle>(*host_);
    upgrade_ = std::make_unique<CUpgradeRunner>(*this, paths_.update);
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

    trayIcon_->show();
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
    if (transparentMode_ != 0) {
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
    SetWindowClass(*native, "VEMO", "VemoMFrame");
    SetSkipTaskbar(*native);
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
    UpdateHoverTimer(settings.optionFlags);
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

void CTickerWindow::ShowPage() {
    if (!browser_->Navigate(QString::fromStdString(paths_.pageFile.string()))) {
        // The old page stays, and so does the loading indicator, masked at the window's size.
        UpdateTransparencyMask();
        return;
    }
    loadingIndicator_->hide();
    loadingIndicator_->setText(QString::fromLatin1(LoadingText));
    loadingIndicator_->setToolTip(QString());
    UpdateTransparencyMask();
    emit pageShown();
}

void CTickerWindow::ShowPageFileProblem() {
    const QString path = QString::fromStdString(paths_.pageFile.string());
    loadingIndicator_->setText(QStringLiteral("无法写入页面文件\n") +
                               loadingIndicator_->fontMetrics().elidedText(
                                   path, Qt::ElideMiddle, loadingIndicator_->width() - 4));
    loadingIndicator_->setToolTip(path);
    UpdateTransparencyMask();
}

void CTickerWindow::ShowNotice(const QString& text) {
    noticeLine_->setText(text);
    UpdateTransparencyMask();  // a see-through window shows the new text at once
}

void CTickerWindow::SetNoticeLink(const QUrl& link) {
    noticeLink_ = link;
    noticeLinkActive_ = !link.isEmpty();
}

void CTickerWindow::OnTrayCallback(int mouseEvent) {
    if (mouseEvent == TrayLeftDoubleClick) {
        SetTickerVisible(true);
        trayIcon_->show();
    } else if (mouseEvent == TrayRightButtonUp) {
        PopUpMainMenu();
    }
}

void CTickerWindow::OnHotKey(int id) {
    if (id != ShowHideHotKeyId) {
        return;
    }
    if (isVisible()) {
        if ((settings_.Get().optionFlags & hotKeyHidesTrayIcon) != 0) {
            trayIcon_->hide();
        }
        SetTickerVisible(false);
    } else {
        trayIcon_->show();
        SetTickerVisible(true);
    }
}

void CTickerWindow::SetTickerVisible(bool show) {
    if (show) {
        // A show the user asks for ends hiding at start.
        hideAtStartCount_ = 0;
        showNormal();
        raise();
        activateWindow();
        cycle_->Request(refreshRequested);
        UpdateHoverTimer(settings_.Get().optionFlags);
        return;
    }
    hide();
    hoverTimer_.stop();
    // Trim once the window is gone from the screen, so its buffers can go too.
    QTimer::singleShot(200, this, [] {
        QPixmapCache::clear();
        TrimWorkingSet();
    });
}

void CTickerWindow::UpdateHoverTimer(std::uint32_t optionFlags) {
    // A hidden window has no strip to show: polling it would only grab it for nothing.
    if (transparentMode_ != 0 && (optionFlags & titleBarOnHover) != 0 && isVisible()) {
        hoverTimer_.start(HoverTimerMs, this);
    } else {
        hoverTimer_.stop();
    }
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
    if (transparentMode_ != 0) {
        transparentMode_ = 0;
        SetTextAntialiasing(true);
        SetStripVisible(true);
        hoverTimer_.stop();
        clearMask();
        // What lay outside the mask was not painted while it was on: without a repaint the
        // old page shows there beside the new one.
        RepaintWhole();
        FlushWindowSystem();
        return;
    }
    transparentMode_ = 1;
    titleStripShown_ = 0;
    SetTextAntialiasing(false);
    SetStripVisible(false);
    UpdateHoverTimer(settings_.Get().optionFlags);
    UpdateTransparencyMask();
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

void CTickerWindow::UpdateTransparencyMask() {
    if (transparentMode_ == 0) {
        return;
    }
    // Every pixel of exactly the key colour becomes see-through; the table's text stays.
    const QImage image = grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage keyed = image.createMaskFromColor(BackgroundColour().rgb(), Qt::MaskInColor);
    setMask(QBitmap::fromImage(keyed));
    // Painting is clipped to the mask in force: what the new mask uncovers is drawn now.
    RepaintWhole();
    FlushWindowSystem();
}

void CTickerWindow::RepaintWhole() {
    // A repaint of the window alone leaves the browser's view as it was in the window's buffer.
    repaint();
    for (QWidget* child : findChildren<QWidget*>()) {
        if (child->isVisible()) {
            child->repaint();
        }
    }
}

void CTickerWindow::timerEvent(QTimerEvent* event) {
    if (event->timerId() != hoverTimer_.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    const QPoint cursor = QCursor::pos();
    const int inside = cursor.x() >= lastWindowRect.left && cursor.x() < lastWindowRect.right &&
                       cursor.y() >= lastWindowRect.top && cursor.y() < lastWindowRect.bottom;
    if (inside == titleStripShown_) {
        return;
    }
    titleStripShown_ = inside;
    SetStripVisible(inside != 0);
    UpdateTransparencyMask();
}

void CTickerWindow::RegisterShowHideHotKey() {
    hotKey_->Unregister(ShowHideHotKeyId);
    if (OnWayland()) {
        return;  // said once at the start; the tray menu shows the window instead
    }
    const TickerSettings settings = settings_.Get();
    if (!hotKey_->Register(ShowHideHotKeyId, settings.hotKeyModifiers, settings.hotKeyVirtualKey)) {
        QMessageBox box(QMessageBox::Information, QStringLiteral("提示"),
                        QStringLiteral("热键设置失败,请重新设置。"), QMessageBox::Ok, this);
        box.exec();
    }
}

std::unique_ptr<QMenu> CTickerWindow::BuildMainMenu() {
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
            action->setChecked(transparentMode_ != 0);
        }
        if (item.id == CmdAlerts) {
            action->setCheckable(true);
            action->setChecked(alerts_->On());
        }
    }
    return menu;
}

void CTickerWindow::PopUpMainMenu() {
    const std::unique_ptr<QMenu> menu = BuildMainMenu();
    raise();
    QAction* chosen = menu->exec(QCursor::pos());
    if (chosen != nullptr && !chosen->isSeparator()) {
        OnCommand(chosen->data().toInt());
    }
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
            OpenInBrowser(MakerUrl(HomePageUrl()));
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

void CTickerWindow::AddStripButtons() {
    // The close, hide and menu symbols are parts of the strip's left bitmap, the refresh symbol
    // is a bitmap of its own; each button lies over its symbol and goes with it.
    const struct {
        StripArea area;
        QLabel* piece;
    } buttons[] = {{StripArea::Close, stripLeft_},
                   {StripArea::Hide, stripLeft_},
                   {StripArea::Menu, stripLeft_},
                   {StripArea::Refresh, refreshButton_}};
    for (const auto& [area, piece] : buttons) {
        auto* button = new StripButton(QString::fromUtf8(StripCaption(area)), piece);
        const PixelRect rect = area == StripArea::Refresh ? PixelRect{0, 0, 20, TitleStripHeight}
                                                          : StripButtonArea(area, InitialWidth);
        Place(button, rect);
        connect(button, &QAbstractButton::clicked, this,
                [this, area = area] { ActivateStripArea(area); });
    }
    stripLeft_->setAccessibleName(QStringLiteral("标题栏"));
    stripFiller_->setAccessibleName(QStringLiteral("标题栏"));
    refreshButton_->setAccessibleName(QStringLiteral("标题栏"));
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
    hotKey_->Unregister(ShowHideHotKeyId);
    COptionsDialog dialog(copy, paths_.settingsFiles, holdings_.Names());
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
    CAboutBox box;
    aboutBox_ = &box;
    box.exec();
}

void CTickerWindow::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    if (at.y() < TitleStripHeight) {
        const StripArea area = HitTestStrip(at.x(), at.y(), width());
        if (area != StripArea::Drag) {
            ActivateStripArea(area);
        } else if (windowHandle() == nullptr || !windowHandle()->startSystemMove()) {
            // The strip is the caption of a window that has none: it moves the window.
            manualDrag_ = true;
            dragOffset_ = event->globalPosition().toPoint() - pos();
        }
    } else if (noticeLinkActive_ && noticeLine_->geometry().contains(at)) {
        OpenInBrowser(noticeLink_);
        noticeLine_->clear();
        noticeLinkActive_ = false;
    }
    QWidget::mousePressEvent(event);
}

void CTickerWindow::mouseReleaseEvent(QMouseEvent* event) {
    manualDrag_ = false;
    if (event->button() == Qt::RightButton) {
        PopUpMainMenu();
    }
    QWidget::mouseReleaseEvent(event);
}

void CTickerWindow::mouseMoveEvent(QMouseEvent* event) {
    if (manualDrag_ && (event->buttons() & Qt::LeftButton) != 0) {
        move(event->globalPosition().toPoint() - dragOffset_);
        return;
    }
    raise();
    const QPoint at = event->position().toPoint();
    if (at.y() < TitleStripHeight) {
        const std::string tip =
            StripTipText(HitTestStrip(at.x(), at.y(), width()), cycle_->SecondsSinceRefresh(),
                         cycle_->failedAttemptTime.load(), cycle_->MissingCodes());
        if (tip.empty()) {
            QToolTip::hideText();
            currentTip_.clear();
            return;
        }
        const QString text = QString::fromStdString(tip);
        if (text != currentTip_) {
            currentTip_ = text;
            QToolTip::showText(event->globalPosition().toPoint(), text, this);
        }
    } else if (noticeLinkActive_) {
        if (noticeLine_->geometry().contains(at)) {
            setCursor(Qt::PointingHandCursor);
        } else {
            unsetCursor();
        }
    } else {
        QToolTip::hideText();
        currentTip_.clear();
    }
    QWidget::mouseMoveEvent(event);
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
    UpdateHoverTimer(settings_.Get().optionFlags);
}

void CTickerWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    visible_.store(false);
    hoverTimer_.stop();
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

void CTickerWindow::EndRun() {
    if (!started_ || ended_) {
        return;
    }
    ended_ = true;
    trayIcon_->hide();
    hotKey_->Unregister(ShowHideHotKeyId);
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
    windowState_.transparent = transparentMode_;
    SaveAtExit(windowState_, settings_.Get(), paths_.settingsFiles, stderr);
}

}  // namespace vemo
