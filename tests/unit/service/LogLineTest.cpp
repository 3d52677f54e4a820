// One line of the service's log.
#include "LogLine.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const LocalTime kTime = {2024, 3, 7, 9, 5, 2, 45};

std::string written(const LogLine& line) {
    return std::string(line.data(), line.size());
}

TEST(LogLineTest, StartsWithTheLocalTimeToTheMillisecondAndEndsWithCrLf) {
    LogLine line(kTime);
    line.text("server ended with exit code ").exitCode(3);
    EXPECT_EQ(written(line), "2024-03-07 09:05:02.045 server ended with exit code 3\r\n");
    LogLine late({1999, 12, 31, 23, 59, 59, 999});
    EXPECT_EQ(written(late), "1999-12-31 23:59:59.999 \r\n");
}

TEST(LogLineTest, LineBreaksInATextBecomeBlanks) {
    LogLine line(kTime);
    line.text("run\rme\r\nnow");
    EXPECT_EQ(written(line), "2024-03-07 09:05:02.045 run me  now\r\n");
}

TEST(LogLineTest, NumbersInDecimalStatusCodesInHex) {
    const struct {
        std::uint32_t code;
        const char* shown;
    } cases[] = {{0, "0"},
                 {259, "259"},
                 {0xffff, "65535"},
                 {0x10000, "0x00010000"},
                 {0xc0000005, "0xC0000005"},
                 {0xffffffff, "0xFFFFFFFF"}};
    for (const auto& c : cases) {
        LogLine line(kTime);
        line.exitCode(c.code);
        EXPECT_EQ(written(line), std::string("2024-03-07 09:05:02.045 ") + c.shown + "\r\n");
    }
    LogLine line(kTime);
    line.number(4294967295u).text(" ").number(0);
    EXPECT_EQ(written(line), "2024-03-07 09:05:02.045 4294967295 0\r\n");
}

TEST(LogLineTest, TooLongATextIsCutAndTheLineEndKept) {
    LogLine line(kTime);
    line.text(std::string(2 * LogLine::kCapacity, 'x').c_str()).number(12345);
    const std::string text = written(line);
    EXPECT_EQ(text.size(), LogLine::kCapacity);
    EXPECT_EQ(text.substr(text.size() - 3), "x\r\n");
}

} // namespace
