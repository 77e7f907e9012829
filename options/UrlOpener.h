#pragma once

#include <QUrl>

#include <functional>

namespace vemo {

// How the dialogs open a page of the maker's server. Tests hand in their own to see what would
// have been opened without starting a browser.
using UrlOpener = std::function<void(const QUrl&)>;

// Opens an http or https address in the user's web browser, or shows the address in a box when
// no browser takes it; other addresses are ignored. True when a browser took it.
bool OpenInBrowser(const QUrl& url);

// A QUrl of one of the maker's addresses (net/Endpoints.h).
QUrl MakerUrl(const std::string& address);

}  // namespace vemo
