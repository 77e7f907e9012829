#pragma once

#include <string>
#include <string_view>

namespace vemo {

// The maker's web server; every address of it is built from this one name.
inline constexpr char MakerHost[] = "www.quorvane.com";

// "http://host/" — the home page, opened by the Home page command and linked by the upgrade
// notice.
std::string HomePageUrl();
// "http://host" — the home page as the About box shows it, without the closing slash.
std::string HomePageUrlWithoutSlash();
// The link base of the quote page's code and name cells, "&Code=" and the code not included:
// "http://host/client/vemoskip.php?Ver=43&Dts=2", or "&Dts=3" for NetEase.
std::string QuoteLinkBase(int provider);
// "http://host/client/vemo.php" — feedback.
std::string FeedbackUrl();
// "http://host/client/query.php" — code look-up.
std::string CodeQueryUrl();
// "http://host/quorvane/vemo.php?Guid=<guid>&Ver=VEMO 2.0.4.3" — the version check; the
// version text goes in unescaped, blank included.
std::string VersionCheckUrl(std::string_view installationId);
// "http://host/quorvane/VEMOUpdate.php?Ver=VEMO 2.0.4.3" — the update answer.
std::string UpdateAnswerUrl();

}  // namespace vemo
