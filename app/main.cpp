#include <cstdio>
#include <string>

#include "app/DesktopCheck.h"
#include "app/TickerApp.h"
#include "platform/Platform.h"
#include "quotes/QuoteFetch.h"

int main(int argc, char** argv) {
    // Without a desktop Qt would abort with a page about platform plugins; one clear line is
    // enough, before Qt is asked for a display.
    const std::string missing =
        vemo::MissingDesktopMessage(vemo::DesktopEnvironmentOfProcess(), vemo::DisplayAnswers);
    if (!missing.empty()) {
        std::fprintf(stderr, "%s\n", missing.c_str());
        return 1;
    }
    const vemo::CurlLibrary curl;
    vemo::CTickerApp app(argc, argv);
    return app.InitInstance();
}
