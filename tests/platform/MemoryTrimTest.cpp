#include <gtest/gtest.h>

#include <sys/mman.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/x11/MemoryTrim.h"

namespace vemo {
namespace {

constexpr std::size_t RegionSize = 64u << 20;

// An anonymous private mapping of our own, so that figures about it are not blurred by the
// allocator (or the sanitizer's shadow memory).
class Region {
  public:
    explicit Region(std::size_t size) : size_(size) {
        void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        data_ = p == MAP_FAILED ? nullptr : static_cast<unsigned char*>(p);
    }
    ~Region() {
        if (data_ != nullptr) {
            ::munmap(data_, size_);
        }
    }
    Region(const Region&) = delete;
    Region& operator=(const Region&) = delete;

    unsigned char* data() const { return data_; }
    void Fill() const {
        for (std::size_t i = 0; i < size_; ++i) {
            data_[i] = static_cast<unsigned char>(i * 31 + (i >> 12));
        }
    }
    bool Intact() const {
        for (std::size_t i = 0; i < size_; ++i) {
            if (data_[i] != static_cast<unsigned char>(i * 31 + (i >> 12))) {
                return false;
            }
        }
        return true;
    }

  private:
    std::size_t size_;
    unsigned char* data_ = nullptr;
};

// "Rss:" of the mapping that starts at address, from /proc/self/smaps; -1 when not found.
long RangeResidentKiB(const void* address) {
    char start[32];
    std::snprintf(start, sizeof start, "%lx-", reinterpret_cast<unsigned long>(address));
    FILE* smaps = std::fopen("/proc/self/smaps", "r");
    if (smaps == nullptr) {
        return -1;
    }
    char line[512];
    bool inside = false;
    long kib = -1;
    while (std::fgets(line, sizeof line, smaps) != nullptr) {
        if (std::strncmp(line, start, std::strlen(start)) == 0) {
            inside = true;
        } else if (inside && std::strncmp(line, "Rss:", 4) == 0) {
            kib = std::atol(line + 4);
            break;
        }
    }
    std::fclose(smaps);
    return kib;
}

long SwapTotalKiB() {
    FILE* meminfo = std::fopen("/proc/meminfo", "r");
    if (meminfo == nullptr) {
        return 0;
    }
    char line[256];
    long kib = 0;
    while (std::fgets(line, sizeof line, meminfo) != nullptr) {
        if (std::strncmp(line, "SwapTotal:", 10) == 0) {
            kib = std::atol(line + 10);
        }
    }
    std::fclose(meminfo);
    return kib;
}

TEST(MemoryTrimTest, PicksPrivateMappingsOfMemoryAndFiles) {
    MemoryRange range;
    ASSERT_TRUE(ParseTrimCandidate("7f12a000-7f12c000 rw-p 00000000 00:00 0 ", &range));
    EXPECT_EQ(range.start, 0x7f12a000u);
    EXPECT_EQ(range.end, 0x7f12c000u);
    EXPECT_TRUE(ParseTrimCandidate(
        "55d0c0a00000-55d0c0a21000 rw-p 00000000 00:00 0                          [heap]", &range));
    EXPECT_EQ(range.start, 0x55d0c0a00000u);
    const char* candidates[] = {
        "7ffd1000-7ffd3000 rw-p 00000000 00:00 0   [stack]",
        "7f00-8f00 rw-p 00000000 00:00 0   [anon:glibc]",
        "1000-2000 rw-p 00000000 00:00 0",
        "7f12a000-7f12c000 r--p 00000000 00:00 0 ",
        "7f12a000-7f12c000 r-xp 00020000 08:01 393 /usr/lib/x86_64-linux-gnu/libQt6Core.so.6",
        "7f12a000-7f12c000 rw-p 0001c000 08:01 393 /usr/lib/libc.so.6",
        // A file name cut off by the line buffer.
        "7f12a000-7f12c000 r--p 00000000 08:01 393 /usr/share/fonts/truetype/wqy/wqy-zenh",
    };
    for (const char* line : candidates) {
        EXPECT_TRUE(ParseTrimCandidate(line, &range)) << line;
    }

    const char* others[] = {
        "7f12a000-7f12c000 rw-s 00000000 00:05 1234  /dev/shm/x",  // shared
        "7f12a000-7f12c000 rw-s 00000000 00:01 0 ",                // shared anonymous
        "7f12a000-7f12c000 ---p 00000000 00:00 0 ",                // guard page
        "7f12a000-7f12c000 rw-p 00000000 00:00 0   [vvar]",
        "ffffffffff600000-ffffffffff601000 --xp 00000000 00:00 0   [vsyscall]",
        "7f12a000-7f12c000 r-xp 00000000 00:00 0   [vdso]",
        "7f12c000-7f12a000 rw-p 00000000 00:00 0 ",  // reversed
        "7f12g000-7f12c000 rw-p 00000000 00:00 0 ",  // not hexadecimal
        "7f12a000 rw-p 00000000 00:00 0 ",           // no end
        "",
        "garbage",
    };
    for (const char* line : others) {
        EXPECT_FALSE(ParseTrimCandidate(line, &range)) << line;
    }
}

TEST(MemoryTrimTest, ReportsResidentSize) {
    const long before = ReadResidentKiB();
    ASSERT_GT(before, 0);
    Region region(RegionSize);
    ASSERT_NE(region.data(), nullptr);
    region.Fill();
    EXPECT_GE(ReadResidentKiB() - before, static_cast<long>(RegionSize / 1024) * 9 / 10);
}

TEST(MemoryTrimTest, PagesOutOwnMemoryWithoutLosingIt) {
    Region region(RegionSize);
    ASSERT_NE(region.data(), nullptr);
    region.Fill();
    ASSERT_GE(RangeResidentKiB(region.data()), static_cast<long>(RegionSize / 1024) * 9 / 10);

    const std::size_t requested = TrimWorkingSet();
    if (requested == 0) {
        GTEST_SKIP() << "the kernel does not know MADV_PAGEOUT";
    }
    EXPECT_GE(requested, RegionSize);
    const long after = RangeResidentKiB(region.data());
    EXPECT_TRUE(region.Intact());

    if (SwapTotalKiB() == 0) {
        GTEST_SKIP() << "no swap: anonymous pages cannot leave memory here";
    }
    EXPECT_LT(after, static_cast<long>(RegionSize / 1024) / 2);
}

TEST(MemoryTrimTest, OtherThreadsKeepTheirDataWhileTrimming) {
    constexpr std::size_t Words = (8u << 20) / sizeof(std::uint64_t);
    std::atomic<bool> stop{false};
    std::atomic<int> corrupted{0};
    auto worker = [&](std::uint64_t seed) {
        std::vector<std::uint64_t> data(Words);
        for (std::uint64_t round = 1; !stop; ++round) {
            for (std::size_t i = 0; i < Words; ++i) {
                data[i] = seed ^ (round * 0x9E3779B97F4A7C15ull) ^ i;
            }
            for (std::size_t i = 0; i < Words; ++i) {
                if (data[i] != (seed ^ (round * 0x9E3779B97F4A7C15ull) ^ i)) {
                    ++corrupted;
                    break;
                }
            }
        }
    };
    std::thread a(worker, 1);
    std::thread b(worker, 2);
    for (int i = 0; i < 5; ++i) {
        TrimWorkingSet();
    }
    stop = true;
    a.join();
    b.join();
    EXPECT_EQ(corrupted, 0);
}

TEST(MemoryTrimTest, GivesFreedHeapMemoryBack) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator keeps freed memory in quarantine";
#else
    // Small blocks live in the heap. Every sixteenth stays allocated, so the freed ones form holes
    // inside the heap that free() cannot hand back by shrinking it; only a trim can.
    std::vector<void*> blocks;
    blocks.reserve(RegionSize / 4096);
    for (std::size_t i = 0; i < RegionSize / 4096; ++i) {
        void* p = std::malloc(4000);
        ASSERT_NE(p, nullptr);
        std::memset(p, 1, 4000);
        blocks.push_back(p);
    }
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        if (i % 16 != 0) {
            std::free(blocks[i]);
        }
    }
    const long before = ReadResidentKiB();
    TrimWorkingSet();
    const long after = ReadResidentKiB();
    for (std::size_t i = 0; i < blocks.size(); i += 16) {
        std::free(blocks[i]);
    }
    EXPECT_GT(before - after, static_cast<long>(RegionSize / 1024) / 2);
#endif
}

}  // namespace
}  // namespace vemo
