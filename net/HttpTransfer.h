#pragma once

#include <curl/curl.h>

#include <memory>
#include <string>

#include "net/HttpGet.h"

namespace vemo {

// What every libcurl transfer of the program shares, quote requests and downloads alike.

struct CurlEasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;

// True when the URL names an http or https host; anything else is a request that cannot be sent.
bool IsHttpUrl(const std::string& url);

// http and https only (for redirects too, at most 5 of them), no signals, and the time-outs of
// `options`: a server that does not connect, stops sending or outlasts the deadline ends the
// transfer.
void SetTransferBounds(CURL* handle, const FetchOptions& options);

// The system's Internet settings: libcurl follows http_proxy and no_proxy itself; HTTP_PROXY
// counts too when http_proxy is unset.
void UseEnvironmentProxy(CURL* handle);

}  // namespace vemo
