#include "net/HttpTransfer.h"

#include <cstdlib>
#include <cstring>

namespace vemo {

namespace {

struct UrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

}  // namespace

bool IsHttpUrl(const std::string& url) {
    std::unique_ptr<CURLU, UrlDeleter> parsed(curl_url());
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) {
        return false;
    }
    char* scheme = nullptr;
    char* host = nullptr;
    const bool ok = curl_url_get(parsed.get(), CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
                    curl_url_get(parsed.get(), CURLUPART_HOST, &host, 0) == CURLUE_OK &&
                    host[0] != '\0' &&
                    (std::strcmp(scheme, "http") == 0 || std::strcmp(scheme, "https") == 0);
    curl_free(scheme);
    curl_free(host);
    return ok;
}

void SetTransferBounds(CURL* h, const FetchOptions& options) {
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, options.connectTimeoutSeconds);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, options.stallTimeoutSeconds);
    curl_easy_setopt(h, CURLOPT_TIMEOUT, options.deadlineSeconds);
}

void UseEnvironmentProxy(CURL* h) {
    const char* lower = std::getenv("http_proxy");
    const char* upper = std::getenv("HTTP_PROXY");
    if ((lower == nullptr || lower[0] == '\0') && upper != nullptr && upper[0] != '\0') {
        curl_easy_setopt(h, CURLOPT_PROXY, upper);
    }
}

}  // namespace vemo
