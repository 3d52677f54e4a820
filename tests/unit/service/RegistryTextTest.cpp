// The text in a REG_SZ value as a query leaves it in a buffer.
#include "RegistryText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct RegistryTextCase {
    const char* name;
    std::string data; // what the query wrote
    std::size_t dataSize;
    std::size_t bufferSize;
    bool expectedReadable;
    std::size_t expectedLength;
};

class RegistryTextTest : public testing::TestWithParam<RegistryTextCase> {};

TEST_P(RegistryTextTest, EndsTheTextWithoutReadingPastTheData) {
    const RegistryTextCase& c = GetParam();
    // A heap buffer of exactly the buffer's size, so that the sanitizer build
    // catches a read beyond it; the bytes the query did not write are filled
    // with something that is not a NUL.
    std::vector<char> buffer(c.bufferSize, 'G');
    std::memcpy(buffer.data(), c.data.data(), std::min(c.data.size(), c.bufferSize));
    std::size_t length = 12345;
    EXPECT_EQ(registryTextLength(buffer.data(), c.dataSize, c.bufferSize, length),
              c.expectedReadable);
    if (c.expectedReadable) {
        EXPECT_EQ(length, c.expectedLength);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, RegistryTextTest,
    testing::Values(
        RegistryTextCase{"Terminated", std::string("abc\0", 4), 4, 260, true, 3},
        RegistryTextCase{"EmptyTextIsOneNul", std::string("\0", 1), 1, 260, true, 0},
        RegistryTextCase{"NoDataAtAll", "", 0, 260, true, 0},
        RegistryTextCase{"FirstNulEndsTheText", std::string("ab\0cd\0", 6), 6, 260, true, 2},
        RegistryTextCase{"UnterminatedShortValueEndsWithItsData", "abc", 3, 260, true, 3},
        RegistryTextCase{"UnterminatedOneByteShortOfTheBuffer", std::string(259, 'x'), 259, 260,
                         true, 259},
        RegistryTextCase{"LongestTerminatedText", std::string(259, 'x') + '\0', 260, 260, true,
                         259},
        RegistryTextCase{"UnterminatedFillingTheBufferIsUnreadable", std::string(260, 'x'), 260,
                         260, false, 0},
        RegistryTextCase{"SizeBeyondTheBufferWithNul", std::string("abc\0", 4), 300, 260, true, 3},
        RegistryTextCase{"SizeBeyondTheBufferWithoutNul", std::string(260, 'x'), 300, 260, false,
                         0}),
    [](const testing::TestParamInfo<RegistryTextCase>& info) {
        return std::string(info.param.name);
    });

} // namespace
