#include "options/UrlOpener.h"

#include "options/NoticeBox.h"
#include "platform/Platform.h"

namespace vemo {

bool OpenInBrowser(DesktopPlatform& platform, const QUrl& url) {
    if (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")) {
        return false;
    }
    if (platform.OpenLink(url)) {
        return true;
    }
    ShowAddressNotOpened(url);
    return false;
}

UrlOpener BrowserOpener(DesktopPlatform& platform) {
    return [&platform](const QUrl& url) { OpenInBrowser(platform, url); };
}

QUrl MakerUrl(const std::string& address) {
    return QUrl(QString::fromStdString(address));
}

}  // namespace vemo
