#include "options/UrlOpener.h"

namespace vemo {

QUrl MakerUrl(const std::string& address) {
    return QUrl(QString::fromStdString(address));
}

}  // namespace vemo
