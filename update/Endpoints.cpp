#include "update/Endpoints.h"

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
               (provider == 3 ? "&Dts=3" : "&Dts=2"));
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
    return Url(path);
}

std::string UpdateAnswerUrl() {
    return Url(std::string("/quorvane/VEMOUpdate.php?Ver=") + VersionText);
}

}  // namespace vemo
