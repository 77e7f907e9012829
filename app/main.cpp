#include "app/TickerApp.h"
#include "quotes/QuoteFetch.h"

int main(int argc, char** argv) {
    const vemo::CurlLibrary curl;
    vemo::CTickerApp app(argc, argv);
    return app.InitInstance();
}
