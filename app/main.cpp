#include <cstdio>
#include <string>
#include <vector>

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
    // The platform goes to Qt as an argument rather than through the environment, which the
    // programs VEMO starts (the web browser) inherit.
    std::vector<char*> arguments(argv, argv + argc);
    char platformOption[] = "-platform";
    std::string platform =
        vemo::PlatformToAskFor(vemo::DesktopEnvironmentOfProcess(), vemo::DisplayAnswers);
    if (!platform.empty()) {
        arguments.push_back(platformOption);
        arguments.push_back(platform.data());
    }
    int count = static_cast<int>(arguments.size());
    arguments.push_back(nullptr);
    const vemo::CurlLibrary curl;
    vemo::CTickerApp app(count, arguments.data());
    return app.InitInstance();
}
