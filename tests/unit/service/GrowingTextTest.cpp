// The text of any length that holds a command.
#include "GrowingText.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

TEST(GrowingTextTest, HoldsEveryByteAppendedAndStaysTerminated) {
    GrowingText text;
    std::string expected;
    for (int i = 0; i < 100000; ++i) {
        const char byte = static_cast<char>('a' + i % 26);
        text.append(byte);
        expected += byte;
        ASSERT_EQ(text.c_str()[text.size()], '\0') << "after " << i + 1 << " bytes";
    }
    EXPECT_EQ(std::string(text.c_str(), text.size()), expected);
}

TEST(GrowingTextTest, MovingLeavesTheSourceEmpty) {
    GrowingText source;
    for (char c : std::string("server.exe"))
        source.append(c);
    GrowingText target;
    target.append('x');
    target = std::move(source);
    EXPECT_STREQ(target.c_str(), "server.exe");
    EXPECT_STREQ(source.c_str(), "");
    GrowingText constructed(std::move(target));
    EXPECT_STREQ(constructed.c_str(), "server.exe");
    EXPECT_EQ(target.size(), 0u);
}

} // namespace
