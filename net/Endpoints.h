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
// "http://host/quorvane/vemo.php?Guid=<guid>&Ver=VEMO%202.0.4.3" — the version check. A blank
// cannot stand in an HTTP request line, so the version text's blank goes as %20, which the
// server reads as the same value; the identifier is escaped the same way.
std::string VersionCheckUrl(std::string_view installationId);
// "http://host/quorvane/VEMOUpdate.php?Ver=VEMO%202.0.4.3" — the update answer.
std::string UpdateAnswerUrl();

// The URL with every byte that cannot stand in a request line as it is (blanks, control
// characters, bytes above 0x7E and " < > \ ^ ` { | }) written as %XX; all else, "%" included,
// stays as it was, so an address that is already escaped keeps its meaning.
std::string EscapeForRequest(std::string_view url);

}  // namespace vemo
