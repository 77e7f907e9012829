#include "settings/CodeList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vemo {
namespace {

TEST(CodeListTest, EmptyPiecesAreSkipped) {
    using Codes = std::vector<std::string>;
    EXPECT_EQ(SplitCodeList(",1A0001,399001"), (Codes{"1A0001", "399001"}));
    EXPECT_EQ(SplitCodeList(","), Codes{});
    EXPECT_EQ(SplitCodeList(""), Codes{});
    EXPECT_EQ(SplitCodeList(",,600000"), Codes{"600000"});
    EXPECT_EQ(SplitCodeList("600000,,60000,"), (Codes{"600000", "60000"}));
}

}  // namespace
}  // namespace vemo
