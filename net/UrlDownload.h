#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string_view>

#include "net/HttpGet.h"

namespace vemo {

// Results of DownloadToFile.
inline constexpr int DownloadOk = 0;
inline constexpr int DownloadBadUrl = -1;          // not an http(s) URL with a host; nothing sent
inline constexpr int DownloadNoFile = -2;          // the file could not be made in its folder
inline constexpr int DownloadTransferFailed = -3;  // no connection, a broken transfer, a time-out
                                                   // or more bytes than allowed
inline constexpr int DownloadHttpError = -4;       // the server answered 400 or more
inline constexpr int DownloadCancelled = -5;
inline constexpr int DownloadNotPlaced = -6;  // complete, but it could not take the file's name

// Bytes received so far and the size the server announced (0 when it announced none). Called on
// the downloading thread.
using DownloadProgress = std::function<void(std::uint64_t received, std::uint64_t total)>;

struct DownloadOptions {
    // Time-outs, the size limit and the cancel flag. The whole transfer, connection included,
    // fails when it has not ended after transfer.deadlineSeconds (0 for no deadline).
    FetchOptions transfer;
    DownloadProgress progress;
    // Permission bits of the finished file.
    mode_t mode = 0600;
};

// One HTTP GET of `url` into `file`, through the environment's proxy (as the system's Internet
// settings would have it). The body is written under a temporary name beside `file` and renamed
// over it only when the whole answer has arrived with a status below 400, so that a failed
// download never leaves a partial file and never damages a file that was there before.
int DownloadToFile(std::string_view url, const std::filesystem::path& file,
                   const DownloadOptions& options);

}  // namespace vemo
