#include "options/UrlOpener.h"

#include <QDesktopServices>

#include "options/NoticeBox.h"

namespace vemo {

bool OpenInBrowser(const QUrl& url) {
    if (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")) {
        return false;
    }
    if (QDesktopServices::openUrl(url)) {
        return true;
    }
    ShowAddressNotOpened(url);
    return false;
}

QUrl MakerUrl(const std::string& address) {
    return QUrl(QString::fromStdString(address));
}

}  // namespace vemo
