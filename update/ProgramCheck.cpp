#include "update/ProgramCheck.h"

#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "settings/UniqueFd.h"

namespace vemo {

namespace {

bool ReadAt(int fd, void* buffer, std::size_t size, std::uint64_t offset) {
    auto* bytes = static_cast<char*>(buffer);
    while (size > 0) {
        const ssize_t n = ::pread(fd, bytes, size, static_cast<off_t>(offset));
        if (n <= 0) {
            return false;
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

int OpenForReading(const char* path) {
    // O_NONBLOCK keeps a FIFO planted under the name from blocking the open.
    return ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
}

// The ELF header of a regular file, and the file's size.
bool ReadHeader(int fd, ElfW(Ehdr) & header, std::uint64_t& size) {
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    size = static_cast<std::uint64_t>(st.st_size);
    return size >= sizeof header && ReadAt(fd, &header, sizeof header, 0);
}

}  // namespace

bool IsProgramForThisMachine(const std::filesystem::path& file) {
    ElfW(Ehdr) own{};
    std::uint64_t ownSize = 0;
    const UniqueFd self(OpenForReading("/proc/self/exe"));
    if (!ReadHeader(self.get(), own, ownSize)) {
        return false;
    }
    ElfW(Ehdr) header{};
    std::uint64_t size = 0;
    const UniqueFd fd(OpenForReading(file.c_str()));
    if (!ReadHeader(fd.get(), header, size)) {
        return false;
    }
    // The same class and byte order as this program's, so the native structures read it.
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != own.e_ident[EI_CLASS] ||
        header.e_ident[EI_DATA] != own.e_ident[EI_DATA] ||
        header.e_ident[EI_VERSION] != EV_CURRENT || header.e_machine != own.e_machine ||
        (header.e_type != ET_EXEC && header.e_type != ET_DYN) || header.e_entry == 0) {
        return false;
    }
    if (header.e_phnum == 0 || header.e_phentsize != sizeof(ElfW(Phdr)) || header.e_phoff > size ||
        std::uint64_t{header.e_phnum} * sizeof(ElfW(Phdr)) > size - header.e_phoff) {
        return false;
    }
    std::vector<ElfW(Phdr)> segments(header.e_phnum);
    if (!ReadAt(fd.get(), segments.data(), segments.size() * sizeof(ElfW(Phdr)), header.e_phoff)) {
        return false;
    }
    bool loads = false;
    bool interpreter = false;
    for (const ElfW(Phdr) & segment : segments) {
        if (segment.p_type != PT_LOAD && segment.p_type != PT_INTERP) {
            continue;
        }
        if (segment.p_offset > size || segment.p_filesz > size - segment.p_offset) {
            return false;
        }
        loads = loads || segment.p_type == PT_LOAD;
        interpreter = interpreter || segment.p_type == PT_INTERP;
    }
    // A shared library is position-independent too; only a program names the dynamic loader
    // that starts it.
    return loads && (header.e_type == ET_EXEC || interpreter);
}

}  // namespace vemo
