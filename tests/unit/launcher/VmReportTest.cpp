#include "VmReport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string report(const std::vector<ReportEntry>& entries) {
    char out[kMaxReport];
    EXPECT_TRUE(formatReport(entries.data(), entries.size(), out, sizeof out));
    return out;
}

TEST(Report, CountsTheVmsThenMarksEachYesOrNo) {
    EXPECT_EQ(report({}), "0\n");
    EXPECT_EQ(report({{true, "C:\\jdk\\bin\\java.exe"}, {false, "C:\\WINDOWS\\jview.exe"}}),
              "2\nYES C:\\jdk\\bin\\java.exe\nNO C:\\WINDOWS\\jview.exe\n");
    EXPECT_EQ(report({{false, "a"}, {false, "b"}, {true, "c"}}), "3\nNO a\nNO b\nYES c\n");
}

TEST(Report, HoldsThirtyTwoVmsOfTheLongestPaths) {
    std::string path(kMaxPath - 1, 'p');
    std::vector<ReportEntry> entries(32, ReportEntry{true, path.c_str()});
    EXPECT_EQ(report(entries).size(), 3 + 32 * (4 + path.size() + 1));
}

TEST(Report, IsRefusedRatherThanCutWhenTheBufferIsTooSmall) {
    ReportEntry entry{true, "C:\\x.exe"};
    char out[8] = "old";
    EXPECT_FALSE(formatReport(&entry, 1, out, sizeof out));
    EXPECT_STREQ(out, "");
}

} // namespace
