#pragma once

#include <QUrl>

#include <functional>
#include <string>

namespace vemo {

class DesktopPlatform;

// How the dialogs open a page of the maker's server: the desktop's link opener, or in tests one
// that records what would have been opened.
using UrlOpener = std::function<void(const QUrl&)>;

// Opens an http or https address through the desktop, or shows the address in a box when no
// browser takes it; other addresses are ignored. True when a browser took it.
bool OpenInBrowser(DesktopPlatform& platform, const QUrl& url);

// The same as a UrlOpener; `platform` must outlive it.
UrlOpener BrowserOpener(DesktopPlatform& platform);

// A QUrl of one of the maker's addresses (net/Endpoints.h).
QUrl MakerUrl(const std::string& address);

}  // namespace vemo
