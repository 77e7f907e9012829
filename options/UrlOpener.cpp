#include "options/UrlOpener.h"

#include <QDesktopServices>

namespace vemo {

void OpenInBrowser(const QUrl& url) {
    if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")) {
        QDesktopServices::openUrl(url);
    }
}

QUrl MakerUrl(const std::string& address) {
    return QUrl(QString::fromStdString(address));
}

}  // namespace vemo
