#include "platform/x11/MemoryTrim.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>

#include "settings/UniqueFd.h"

#ifndef MADV_PAGEOUT
#define MADV_PAGEOUT 21
#endif

namespace vemo {
namespace {

int OpenForReading(const char* path) {
    int fd;
    do {
        fd = ::open(path, O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

ssize_t ReadSome(int fd, char* buffer, std::size_t size) {
    ssize_t got;
    do {
        got = ::read(fd, buffer, size);
    } while (got < 0 && errno == EINTR);
    return got;
}

// The next field of text separated by spaces or tabs; text is advanced past it.
std::string_view NextField(std::string_view& text) {
    const std::size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string_view::npos) {
        text = {};
        return {};
    }
    text.remove_prefix(begin);
    const std::size_t end = text.find_first_of(" \t");
    const std::string_view field = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end);
    return field;
}

bool ParseHex(std::string_view text, std::uintptr_t* value) {
    if (text.empty()) {
        return false;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value, 16);
    return error == std::errc() && end == text.data() + text.size();
}

std::size_t PageOut(const MemoryRange& range) {
    const std::size_t length = range.end - range.start;
    // The kernel skips pages that are not resident or that other processes share; failures
    // (a locked or special mapping) only mean less is given back.
    if (::madvise(reinterpret_cast<void*>(range.start), length, MADV_PAGEOUT) != 0) {
        return 0;
    }
    return length;
}

}  // namespace

bool ParseTrimCandidate(std::string_view line, MemoryRange* range) {
    std::string_view rest = line;
    const std::string_view addresses = NextField(rest);
    const std::string_view permissions = NextField(rest);
    NextField(rest);  // offset
    NextField(rest);  // device
    const std::string_view inode = NextField(rest);
    const std::size_t pathBegin = rest.find_first_not_of(' ');
    const std::string_view path =
        pathBegin == std::string_view::npos ? std::string_view() : rest.substr(pathBegin);

    // Private mappings only: a shared page belongs to others too. Guard pages hold nothing, and
    // the kernel's own pages ([vvar], [vdso], [vsyscall]) are not the process's to give back.
    if (permissions.size() != 4 || permissions[3] != 'p' || permissions.substr(0, 3) == "---") {
        return false;
    }
    if (path == "[vvar]" || path == "[vdso]" || path == "[vsyscall]") {
        return false;
    }
    // Anonymous pages go to swap where there is one; clean pages of files (the libraries'
    // code and read-only data) are dropped and read again from their files when used.
    const bool anonymous = inode == "0";
    const bool fileBacked = !anonymous && path.starts_with('/');
    if (!anonymous && !fileBacked) {
        return false;
    }
    const std::size_t dash = addresses.find('-');
    if (dash == std::string_view::npos) {
        return false;
    }
    MemoryRange parsed;
    if (!ParseHex(addresses.substr(0, dash), &parsed.start) ||
        !ParseHex(addresses.substr(dash + 1), &parsed.end) || parsed.start >= parsed.end) {
        return false;
    }
    *range = parsed;
    return true;
}

std::size_t TrimWorkingSet() {
    ::malloc_trim(0);

    UniqueFd maps(OpenForReading("/proc/self/maps"));
    if (maps.get() < 0) {
        return 0;
    }
    // The fixed fields of a line take well under 100 characters; only a file name makes a line
    // longer, and only its beginning is kept.
    char line[256];
    std::size_t length = 0;
    char chunk[4096];
    std::size_t requested = 0;
    for (;;) {
        const ssize_t got = ReadSome(maps.get(), chunk, sizeof chunk);
        if (got <= 0) {
            break;
        }
        for (ssize_t i = 0; i < got; ++i) {
            const char c = chunk[i];
            if (c != '\n') {
                if (length < sizeof line) {
                    line[length++] = c;
                }
                continue;
            }
            // A long line is a long file name; its beginning says all that matters.
            MemoryRange range;
            if (ParseTrimCandidate(std::string_view(line, length), &range)) {
                requested += PageOut(range);
            }
            length = 0;
        }
    }
    return requested;
}

long ReadResidentKiB() {
    UniqueFd status(OpenForReading("/proc/self/status"));
    if (status.get() < 0) {
        return -1;
    }
    char buffer[8192];
    std::size_t used = 0;
    while (used < sizeof buffer) {
        const ssize_t got = ReadSome(status.get(), buffer + used, sizeof buffer - used);
        if (got <= 0) {
            break;
        }
        used += static_cast<std::size_t>(got);
    }
    const std::string_view text(buffer, used);
    const std::size_t key = text.find("\nVmRSS:");
    if (key == std::string_view::npos) {
        return -1;
    }
    std::string_view rest = text.substr(key + 7);
    const std::string_view number = NextField(rest);
    long kib = -1;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), kib);
    if (error != std::errc() || end != number.data() + number.size()) {
        return -1;
    }
    return kib;
}

}  // namespace vemo
