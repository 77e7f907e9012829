#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "update/Interrupt.h"
#include "update/UpdateSetup.h"

namespace vemo {

// The notice text and its link, GBK bytes with a terminator.
inline constexpr std::size_t NoticeBufferSize = 260;

inline constexpr char InstallIdValue[] = "Guid";
inline constexpr char MandatoryUpdateValue[] = "Update";
inline constexpr char NoInstallId[] = "noGuid";
// The version check's answer, kept in the answer folder while it holds a notice.
inline constexpr char NoticeAnswerName[] = "VersionCheck.ini";

// Asks the maker's server for a notice for this version, once per run. Returns 1 when one was
// found: `text` holds it and `link` its address (possibly empty). Else 0, with both empty. Sets
// `updateRequired` (non-zero: this version must be upgraded before it shows quotes); a mandatory
// update is remembered in the store and from then on no request is made at all. A requested
// `stop` cancels the request and ends every wait.
int CheckForNotice(char (&text)[NoticeBufferSize], char (&link)[NoticeBufferSize],
                   int& updateRequired, const UpdateSetup& setup, Interrupt* stop = nullptr);

// The installation's identifier: the stored "Guid", or a new one that is stored, or "noGuid" when
// none can be made.
std::string GetInstallId(const std::filesystem::path& appStore);

// A new random identifier "XXXXXXXX-XXXX-4XXX-YXXX-XXXXXXXXXXXX" (upper-case hexadecimal, Y one
// of 8, 9, A, B); false when the system gives no random bytes.
bool NewGuidText(std::string& text);

}  // namespace vemo
