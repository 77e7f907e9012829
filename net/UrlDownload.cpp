#include "net/UrlDownload.h"

#include <sys/stat.h>

#include <string>

#include "net/HttpTransfer.h"
#include "settings/AtomicFile.h"
#include "settings/UniqueFd.h"

namespace vemo {

namespace {

struct Sink {
    int fd = -1;
    std::uint64_t written = 0;
    std::uint64_t limit = 0;
    bool writeFailed = false;
    const DownloadOptions* options = nullptr;
};

std::size_t WriteChunk(char* data, std::size_t size, std::size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    const std::size_t bytes = size * count;
    if (sink->written + bytes > sink->limit || !WriteAll(sink->fd, std::string_view(data, bytes))) {
        sink->writeFailed = true;
        return 0;  // ends the transfer with a write error
    }
    sink->written += bytes;
    return bytes;
}

int OnProgress(void* user, curl_off_t total, curl_off_t received, curl_off_t, curl_off_t) {
    const auto* sink = static_cast<const Sink*>(user);
    const FetchOptions& transfer = sink->options->transfer;
    if (transfer.cancel != nullptr && transfer.cancel->load()) {
        return 1;
    }
    if (sink->options->progress) {
        sink->options->progress(received > 0 ? static_cast<std::uint64_t>(received) : 0,
                                total > 0 ? static_cast<std::uint64_t>(total) : 0);
    }
    return 0;
}

}  // namespace

int DownloadToFile(std::string_view url, const std::filesystem::path& file,
                   const DownloadOptions& options) {
    const std::string target(url);
    if (!IsHttpUrl(target)) {
        return DownloadBadUrl;
    }
    if (file.empty() || !file.has_filename()) {
        return DownloadNoFile;
    }
    PendingFile pending(file);
    if (pending.Fd() < 0) {
        return DownloadNoFile;
    }
    CurlEasy easy(curl_easy_init());
    if (!easy) {
        return DownloadTransferFailed;
    }

    Sink sink;
    sink.fd = pending.Fd();
    sink.limit = options.transfer.maxResponseBytes;
    sink.options = &options;

    CURL* h = easy.get();
    curl_easy_setopt(h, CURLOPT_URL, target.c_str());
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    SetTransferBounds(h, options.transfer);
    UseEnvironmentProxy(h);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, WriteChunk);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &sink);

    const CURLcode result = curl_easy_perform(h);
    if (result == CURLE_ABORTED_BY_CALLBACK) {
        return DownloadCancelled;
    }
    if (result != CURLE_OK) {
        return DownloadTransferFailed;
    }
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    if (status >= 400) {
        return DownloadHttpError;
    }
    if (::fchmod(pending.Fd(), options.mode) != 0) {
        return DownloadNotPlaced;
    }
    return pending.Commit() == ReplaceOk ? DownloadOk : DownloadNotPlaced;
}

}  // namespace vemo
