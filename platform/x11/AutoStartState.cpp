#include "platform/x11/AutoStartState.h"

#include <sys/stat.h>

#include "platform/x11/AutoStart.h"

namespace vemo {

bool AutoStartEntryExists(const std::filesystem::path& entry) {
    struct stat st {};
    return !entry.empty() && ::stat(entry.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool AutoStartRegistered() {
    try {
        return AutoStartEntryExists(AutoStartEntryPath());
    } catch (...) {
        return false;
    }
}

}  // namespace vemo
