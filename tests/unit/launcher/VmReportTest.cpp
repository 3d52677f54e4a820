#include "VmReport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string report(const std::vector<ReportEntry>& entries) {
    char out[kMaxReport];
    EXPECT_TRUE(formatReport(entries.data(), entries.size(), out, sizeof out));
    return out;
}

TEST(Report, CountsTheVmsThenMarksEachYesOrNo) {
    EXPECT_EQ(report({}), "0\n");
    EXPECT_EQ(report({{true, "C:\\jdk\\bin\\java.exe", ""}, {false, "C:\\WINDOWS\\jview.exe", ""}}),
              "2\nYES C:\\jdk\\bin\\java.exe\nNO C:\\WINDOWS\\jview.exe\n");
    EXPECT_EQ(report({{false, "a", ""}, {false, "b", ""}, {true, "c", ""}}),
              "3\nNO a\nNO b\nYES c\n");
}

TEST(Report, HoldsThirtyTwoVmsOfTheLongestPaths) {
    std::string path(kMaxPath - 1, 'p');
    std::vector<ReportEntry> entries(32, ReportEntry{true, path.c_str(), ""});
    EXPECT_EQ(report(entries).size(), 3 + 32 * (4 + path.size() + 1));
}

TEST(Report, IsRefusedRatherThanCutWhenTheBufferIsTooSmall) {
    ReportEntry entry{true, "C:\\x.exe", ""};
    char out[8] = "old";
    EXPECT_FALSE(formatReport(&entry, 1, out, sizeof out));
    EXPECT_STREQ(out, "");
}

TEST(FoundVms, ListsEachPathWithItsVersionOnLinesThatAnEditControlBreaks) {
    const ReportEntry entries[] = {{false, "C:\\jdk11\\bin\\java.exe", "11.0.2"},
                                   {false, "C:\\WINDOWS\\jview.exe", ""}};
    char out[kMaxFoundVms];
    EXPECT_TRUE(formatFoundVms(entries, 2, out, sizeof out));
    EXPECT_STREQ(out, "C:\\jdk11\\bin\\java.exe: Java 11.0.2\r\n"
                      "C:\\WINDOWS\\jview.exe: version unknown\r\n");
    std::string path(kMaxPath - 1, 'p');
    std::string version(kMaxVersion - 1, '9');
    const std::vector<ReportEntry> longest(kMaxVms,
                                           ReportEntry{false, path.c_str(), version.c_str()});
    EXPECT_TRUE(formatFoundVms(longest.data(), longest.size(), out, sizeof out));
    EXPECT_FALSE(formatFoundVms(entries, 2, out, 20));
    EXPECT_STREQ(out, "");
}

// What the probe printed, as the runner reads it: the version is its second line.
TEST(ProbeVersion, IsTheWholePrintableSecondLineOfTheOutput) {
    struct Case {
        const char* output;
        const char* version;
    };
    const Case cases[] = {
        {"NO\r\n17.0.2\r\n", "17.0.2"},
        {"YES\n1.1.8\n", "1.1.8"},
        {"NO\r\n", ""},
        {"NO\r\n17.0.", ""},
        {"NO\r\n17\x01\r\n", ""},
        {"NO\r\n0123456789012345678901234567890123456789\r\n", ""},
    };
    for (const Case& c : cases) {
        char version[kMaxVersion] = "untouched";
        EXPECT_EQ(probeVersion(c.output, std::strlen(c.output), version, sizeof version),
                  c.version[0] != '\0')
            << c.output;
        EXPECT_STREQ(version, c.version) << c.output;
    }
}

} // namespace
