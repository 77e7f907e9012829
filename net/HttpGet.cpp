#include "net/HttpGet.h"

#include <curl/curl.h>

#include <memory>

#include "net/HttpTransfer.h"

namespace vemo {

namespace {

struct SlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

struct Transfer {
    std::string body;
    std::size_t limit = 0;
    const std::atomic<bool>* cancel = nullptr;
};

std::size_t WriteBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    const std::size_t bytes = size * count;
    if (transfer->body.size() + bytes > transfer->limit) {
        return 0;  // ends the transfer with a write error
    }
    transfer->body.append(data, bytes);
    return bytes;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* transfer = static_cast<const Transfer*>(user);
    return transfer->cancel != nullptr && transfer->cancel->load() ? 1 : 0;
}

// One slist entry per header line of the block.
bool AppendHeaderLines(std::unique_ptr<curl_slist, SlistDeleter>& list, std::string_view block) {
    while (!block.empty()) {
        const std::size_t end = block.find("\r\n");
        const std::string line(block.substr(0, end));
        block.remove_prefix(end == std::string_view::npos ? block.size() : end + 2);
        if (line.empty()) {
            continue;
        }
        curl_slist* grown = curl_slist_append(list.get(), line.c_str());
        if (grown == nullptr) {
            return false;
        }
        list.release();
        list.reset(grown);
    }
    return true;
}

void UseSettingsProxy(CURL* h, const TickerSettings& settings) {
    if ((settings.proxyMode & proxyUseServer) == 0) {
        UseEnvironmentProxy(h);
        return;
    }
    // libcurl keeps its own copies of these texts.
    const std::string proxyServer = FieldText(settings.proxyServer);
    const std::string proxyUser = FieldText(settings.proxyUser);
    const std::string proxyPassword = FieldText(settings.proxyPassword);
    curl_easy_setopt(h, CURLOPT_PROXY, proxyServer.c_str());
    // Without any credentials libcurl would still send an empty "Basic" pair, which the system's
    // own client never does.
    if (!proxyUser.empty() || !proxyPassword.empty()) {
        curl_easy_setopt(h, CURLOPT_PROXYUSERNAME, proxyUser.c_str());
        curl_easy_setopt(h, CURLOPT_PROXYPASSWORD, proxyPassword.c_str());
    }
}

}  // namespace

CurlLibrary::CurlLibrary() {
    curl_global_init(CURL_GLOBAL_DEFAULT);
}

CurlLibrary::~CurlLibrary() {
    curl_global_cleanup();
}

int HttpGet(const TickerSettings& settings, std::string_view url, const char* headers,
            std::string_view extraHeader, std::string& body, const FetchOptions& options) {
    const std::string target(url);
    if (!IsHttpUrl(target)) {
        return FetchBadUrl;
    }
    CurlEasy easy(curl_easy_init());
    std::unique_ptr<curl_slist, SlistDeleter> headerList;
    if (!easy || !AppendHeaderLines(headerList, headers != nullptr ? headers : "") ||
        !AppendHeaderLines(headerList, extraHeader)) {
        return FetchFailed;
    }

    Transfer transfer;
    transfer.limit = options.maxResponseBytes;
    transfer.cancel = options.cancel;

    CURL* h = easy.get();
    curl_easy_setopt(h, CURLOPT_URL, target.c_str());
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headerList.get());
    // The block may announce gzip and deflate; decode them so the caller sees plain text.
    curl_easy_setopt(h, CURLOPT_ACCEPT_ENCODING, "");
    SetTransferBounds(h, options);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, WriteBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &transfer);
    UseSettingsProxy(h, settings);

    if (curl_easy_perform(h) != CURLE_OK) {
        return FetchFailed;
    }
    body = std::move(transfer.body);
    return FetchOk;
}

}  // namespace vemo
