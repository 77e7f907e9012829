#include "update/VersionCheck.h"

#include <sys/random.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <system_error>

#include "net/Endpoints.h"
#include "settings/AppStore.h"
#include "settings/IniFile.h"
#include "settings/SettingsStore.h"

namespace vemo {

namespace {

constexpr std::size_t MaxStoredIdBytes = 50;

}  // namespace

bool NewGuidText(std::string& text) {
    unsigned char bytes[16];
    std::size_t filled = 0;
    while (filled < sizeof bytes) {
        const ssize_t n = ::getrandom(bytes + filled, sizeof bytes - filled, 0);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        filled += static_cast<std::size_t>(n);
    }
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);  // version 4: random
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);  // the standard variant
    static constexpr char Hex[] = "0123456789ABCDEF";
    text.clear();
    for (std::size_t i = 0; i < sizeof bytes; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) {
            text += '-';
        }
        text += Hex[bytes[i] >> 4];
        text += Hex[bytes[i] & 0x0F];
    }
    return true;
}

std::string GetInstallId(const std::filesystem::path& appStore) {
    char stored[MaxStoredIdBytes + 1] = {};
    if (ReadAppValue(appStore, InstallIdValue, stored, MaxStoredIdBytes) == AppStoreOk) {
        return std::string(stored, strnlen(stored, MaxStoredIdBytes));
    }
    std::string id;
    if (!NewGuidText(id)) {
        return NoInstallId;
    }
    // A store that cannot be written gives a new identifier on every run; the check goes on.
    WriteAppValue(appStore, InstallIdValue, RegSz, id.data(),
                  static_cast<std::uint32_t>(id.size()));
    return id;
}

int CheckForNotice(char (&text)[NoticeBufferSize], char (&link)[NoticeBufferSize],
                   int& updateRequired, const UpdateSetup& setup, Interrupt* stop) {
    std::memset(text, 0, sizeof text);
    std::memset(link, 0, sizeof link);
    updateRequired = 0;

    std::uint32_t mandatory = 0;
    if (ReadAppValue(setup.appStore, MandatoryUpdateValue, &mandatory, sizeof mandatory) !=
        AppStoreOk) {
        mandatory = 0;
    }
    if (IsNewerBuild(static_cast<int>(mandatory))) {
        updateRequired = 1;
        return 0;
    }

    Interrupt never;
    Interrupt& wait = stop != nullptr ? *stop : never;
    const std::filesystem::path answer = setup.answerFolder / NoticeAnswerName;
    if (!DownloadAnswer(VersionCheckUrl(GetInstallId(setup.appStore)), answer, setup, wait)) {
        return 0;
    }

    const auto discard = [&] {
        // A stop ends the wait early; the answer goes either way.
        wait.Sleep(std::chrono::milliseconds(500));
        std::error_code ignored;
        std::filesystem::remove(answer, ignored);
        return 0;
    };
    const int infoVer = GetPrivateProfileIntA(AnswerSection, "infoVer", 0, answer);
    if (!IsNewerBuild(infoVer)) {
        return discard();
    }
    if (GetPrivateProfileStringA(AnswerSection, "info", "", text, sizeof text, answer) == 0) {
        return discard();
    }
    GetPrivateProfileStringA(AnswerSection, "infourl", "", link, sizeof link, answer);
    const int update = GetPrivateProfileIntA(AnswerSection, "update", 0, answer);
    updateRequired = update;
    if (update != 0) {
        const auto build = static_cast<std::uint32_t>(infoVer);
        WriteAppValue(setup.appStore, MandatoryUpdateValue, RegDword, &build, sizeof build);
    }
    return 1;
}

}  // namespace vemo
