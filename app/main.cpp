#include <curl/curl.h>

#include "app/TickerApp.h"

namespace {

// libcurl's global state is set up before any thread may use it and torn down after all have.
struct CurlLibrary {
    CurlLibrary() { curl_global_init(CURL_GLOBAL_DEFAULT); }
    ~CurlLibrary() { curl_global_cleanup(); }
    CurlLibrary(const CurlLibrary&) = delete;
    CurlLibrary& operator=(const CurlLibrary&) = delete;
};

}  // namespace

int main(int argc, char** argv) {
    const CurlLibrary curl;
    vemo::CTickerApp app(argc, argv);
    return app.InitInstance();
}
