#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vemo {

// Shrinks the process's resident memory while the ticker is hidden: returns free heap memory to
// the system (malloc_trim), then asks the kernel to page out the process's resident private pages
// (MADV_PAGEOUT, Linux 5.4 and later): anonymous pages go to swap where there is swap, and clean
// pages of mapped files (the libraries' code) are dropped. Paged-out memory keeps its contents
// and comes back on the next touch. Safe to call while other threads run; allocates nothing.
// Returns how many bytes of mappings the kernel accepted to page out (0 where MADV_PAGEOUT is not
// known).
std::size_t TrimWorkingSet();

// The resident set (VmRSS of /proc/self/status) in KiB; -1 when it cannot be read.
long ReadResidentKiB();

struct MemoryRange {
    std::uintptr_t start = 0;
    std::uintptr_t end = 0;
};

// Whether one line of /proc/self/maps describes a mapping that TrimWorkingSet pages out: private,
// not a guard page, anonymous or backed by a file, and not one of the kernel's own ([vvar],
// [vdso], [vsyscall]). On true, *range holds its addresses.
bool ParseTrimCandidate(std::string_view line, MemoryRange* range);

}  // namespace vemo
