#include "net/Endpoints.h"

#include "settings/TickerSettings.h"
#include "settings/Version.h"

namespace vemo {

namespace {

std::string Url(std::string_view pathAndQuery) {
    std::string url = "http://";
    url += MakerHost;
    url += pathAndQuery;
    return url;
}

}  // namespace

std::string HomePageUrl() {
    return Url("/");
}

std::string HomePageUrlWithoutSlash() {
    return Url("");
}

std::string QuoteLinkBase(int provider) {
    return Url("/client/vemoskip.php?Ver=" + std::to_string(BuildNumber) +
               (provider == ProviderNetEase ? "&Dts=3" : "&Dts=2"));
}

std::string FeedbackUrl() {
    return Url("/client/vemo.php");
}

std::string CodeQueryUrl() {
    return Url("/client/query.php");
}

std::string VersionCheckUrl(std::string_view installationId) {
    std::string path = "/quorvane/vemo.php?Guid=";
    path += installationId;
    path += "&Ver=";
    path += VersionText;
    return EscapeForRequest(Url(path));
}

std::string UpdateAnswerUrl() {
    return EscapeForRequest(Url(std::string("/quorvane/VEMOUpdate.php?Ver=") + VersionText));
}

std::string EscapeForRequest(std::string_view url) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    static constexpr std::string_view Unsafe = "\"<>\\^`{|}";
    std::string escaped;
    escaped.reserve(url.size());
    for (const char c : url) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F || Unsafe.find(c) != std::string_view::npos) {
            escaped += '%';
            escaped += Hex[byte >> 4];
            escaped += Hex[byte & 0x0F];
        } else {
            escaped += c;
        }
    }
    return escaped;
}

}  // namespace vemo
