#include "app/TickerApp.h"

#include <fcntl.h>
#include <unistd.h>

#include <QLibraryInfo>
#include <QSocketNotifier>
#include <QTranslator>

#include <csignal>
#include <cstdio>

#include "app/PageFile.h"
#include "app/TickerWindow.h"
#include "platform/Platform.h"
#if !VEMO_PACKAGE_BUILD
#include "updater/UpdaterImage.h"
#endif

namespace vemo {

namespace {

// The write end of the pipe that carries signals into the event loop; the handler may only
// write to it.
volatile std::sig_atomic_t signalWriteEnd = -1;

void OnEndSignal(int) {
    const char byte = 1;
    const int fd = signalWriteEnd;
    if (fd >= 0) {
        [[maybe_unused]] const ssize_t ignored = ::write(fd, &byte, 1);
    }
}

}  // namespace

CTickerApp::CTickerApp(int& argc, char** argv) : QApplication(argc, argv) {
    // The window is a tool window, which never counts as the last window: the program ends
    // when the ticker's run ends, not when Qt thinks no window is left.
    setQuitOnLastWindowClosed(false);

    // The interface is Chinese whatever the locale: Qt's own dialogs (message boxes, the colour
    // picker) say 确定 and 取消 too.
    auto* translator = new QTranslator(this);
    if (translator->load(QStringLiteral("qtbase_zh_CN"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        installTranslator(translator);
    }

    // A log-out or a kill ends the run as the Exit command does, so the settings are saved.
    if (::pipe2(signalPipe_, O_CLOEXEC | O_NONBLOCK) == 0) {
        signalWriteEnd = signalPipe_[1];
        auto* notifier = new QSocketNotifier(signalPipe_[0], QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this] {
            char bytes[16];
            while (::read(signalPipe_[0], bytes, sizeof bytes) > 0) {
            }
            emit endRequested();
        });
        struct sigaction action {};
        action.sa_handler = OnEndSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
            ::sigaction(signal, &action, nullptr);
        }
    }
}

CTickerApp::~CTickerApp() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ::sigaction(signal, &action, nullptr);
    }
    signalWriteEnd = -1;
    for (const int fd : signalPipe_) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

int CTickerApp::InitInstance() {
    const std::unique_ptr<DesktopPlatform> platform = CreateDesktopPlatform();
    if (!platform->BecomePrimaryInstance()) {
        // Showing the running instance is all a second start is for.
        if (platform->WakePrimaryInstance()) {
            return 0;
        }
        std::fprintf(stderr, "VEMO 已在运行，但没有响应\n");
        return 1;
    }

    const std::filesystem::path folder = ProgramFolder();
    TickerPaths paths{SettingsFilesFor(SettingsFolderFor(folder)), PageFilePath(), {}};
    paths.update.appStore = paths.settingsFiles.appStore;
    paths.update.answerFolder = UpdateCacheFolder();
    paths.update.programFolder = folder;
    paths.update.programFile = RunningProgramFile();
#if VEMO_PACKAGE_BUILD
    // The package manager replaces this program, which carries no updater.
    paths.update.packageManaged = true;
#else
    paths.update.updaterImage = UpdaterImage();
#endif
    CTickerWindow window(paths, *platform);
    connect(platform.get(), &DesktopPlatform::wakeRequested, &window,
            &CTickerWindow::ShowFromTray);
    // The end is asked of the run itself, not of the window: a window the platform never showed
    // may never see a close, and a signal that comes while a message box of the start is open
    // must not leave the main loop to start afterwards.
    bool ending = false;
    connect(this, &CTickerApp::endRequested, &window, [&window, &ending] {
        ending = true;
        window.EndSession();
    });
    window.Start();
    if (!ending) {
        exec();
    }
    return 0;
}

}  // namespace vemo
