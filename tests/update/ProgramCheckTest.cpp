#include <curl/curl.h>
#include <dlfcn.h>
#include <elf.h>
#include <gtest/gtest.h>
#include <link.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

#include "tests/support/TestFiles.h"
#include "update/ProgramCheck.h"

namespace vemo {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;

class ProgramCheckTest : public ::testing::Test {
  protected:
    void SetUp() override { self = ReadBytes("/proc/self/exe"); }
    bool Check(const std::string& bytes) {
        const fs::path file = dir.path() / "program";
        test::WriteBytes(file, bytes);
        return IsProgramForThisMachine(file);
    }
    std::string Patched(std::size_t offset, std::string_view bytes) const {
        std::string copy = self;
        copy.replace(offset, bytes.size(), bytes);
        return copy;
    }

    // Where the file's last loaded segment ends.
    std::size_t LoadedEnd() const {
        ElfW(Ehdr) header{};
        std::memcpy(&header, self.data(), sizeof header);
        std::size_t end = 0;
        for (std::size_t i = 0; i < header.e_phnum; ++i) {
            ElfW(Phdr) segment{};
            std::memcpy(&segment, self.data() + header.e_phoff + i * sizeof segment, sizeof segment);
            if (segment.p_type == PT_LOAD && segment.p_filesz > 0) {
                end = std::max<std::size_t>(end, segment.p_offset + segment.p_filesz);
            }
        }
        return end;
    }

    test::TempDir dir;
    std::string self;
};

TEST_F(ProgramCheckTest, OnlyACompleteProgramForThisMachinePasses) {
    ASSERT_GT(self.size(), 4096u);
    EXPECT_TRUE(Check(self));
    EXPECT_FALSE(Check(""));
    EXPECT_FALSE(Check("<html><body>Not Found</body></html>"));
    EXPECT_FALSE(Check(self.substr(0, 64)));
    // Cut inside the last loaded segment, whatever the build type puts after it (debug sections).
    EXPECT_FALSE(Check(self.substr(0, LoadedEnd() - 1)));
    EXPECT_FALSE(Check(Patched(18, std::string("\x28\x00", 2))));  // ARM
    EXPECT_FALSE(Check(Patched(4, "\x01")));                       // the other class
    EXPECT_FALSE(Check(Patched(5, "\x02")));                       // the other byte order
    EXPECT_FALSE(Check(Patched(16, std::string("\x01\x00", 2))));  // an object file
    EXPECT_FALSE(Check(Patched(16, std::string("\x04\x00", 2))));  // a core dump
    EXPECT_FALSE(IsProgramForThisMachine(dir.path()));             // a folder
    EXPECT_FALSE(IsProgramForThisMachine(dir.path() / "missing"));
}

TEST_F(ProgramCheckTest, ASharedLibraryIsNoProgram) {
    // A library this program runs with: position-independent, of this machine, and complete.
    Dl_info library{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&curl_easy_init), &library), 0);
    ASSERT_NE(library.dli_fname, nullptr);
    EXPECT_FALSE(IsProgramForThisMachine(library.dli_fname)) << library.dli_fname;

    // This program without the dynamic loader's name, or without its entry point.
    ElfW(Ehdr) header{};
    std::memcpy(&header, self.data(), sizeof header);
    std::string withoutLoader = self;
    int loaders = 0;
    for (std::size_t i = 0; i < header.e_phnum; ++i) {
        const std::size_t at = header.e_phoff + i * sizeof(ElfW(Phdr));
        ElfW(Phdr) segment{};
        std::memcpy(&segment, self.data() + at, sizeof segment);
        if (segment.p_type == PT_INTERP) {
            segment.p_type = PT_NULL;
            std::memcpy(withoutLoader.data() + at, &segment, sizeof segment);
            ++loaders;
        }
    }
    ASSERT_EQ(header.e_type, ET_DYN);
    ASSERT_EQ(loaders, 1);
    EXPECT_FALSE(Check(withoutLoader));
    EXPECT_FALSE(
        Check(Patched(offsetof(ElfW(Ehdr), e_entry), std::string(sizeof header.e_entry, '\0'))));
}

}  // namespace
}  // namespace vemo
