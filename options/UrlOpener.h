#pragma once

#include <QUrl>

#include <functional>
#include <string>

namespace vemo {

// How the dialogs open a page of the maker's server: the desktop's link opener, or in tests one
// that records what would have been opened.
using UrlOpener = std::function<void(const QUrl&)>;

// A QUrl of one of the maker's addresses (update/Endpoints.h).
QUrl MakerUrl(const std::string& address);

}  // namespace vemo
