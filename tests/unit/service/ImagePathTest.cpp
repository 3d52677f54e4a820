// The executable's directory and the path the service is registered under.
#include "ImagePath.h"

#include <gtest/gtest.h>

#include <string>

namespace {

bool shiftJisLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9f) || (byte >= 0xe0 && byte <= 0xfc);
}

struct DirectoryCase {
    const char* name;
    const char* path;
    LeadBytePredicate isLeadByte;
    const char* expectedDirectory;
};

class ImageDirectoryTest : public testing::TestWithParam<DirectoryCase> {};

TEST_P(ImageDirectoryTest, EndsBeforeTheLastBackslash) {
    const DirectoryCase& c = GetParam();
    EXPECT_EQ(std::string(c.path, imageDirectoryLength(c.path, c.isLeadByte)), c.expectedDirectory);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ImageDirectoryTest,
    testing::Values(
        DirectoryCase{"Ordinary", "C:\\svc\\Brisnode.exe", noLeadBytes, "C:\\svc"},
        DirectoryCase{"DriveRootKeepsDriveAndColon", "C:\\Brisnode.exe", noLeadBytes, "C:"},
        DirectoryCase{"NoBackslashGivesEmpty", "Brisnode.exe", noLeadBytes, ""},
        DirectoryCase{"BlanksStayUnquoted", "C:\\Program Files\\Veltra Corvane\\Brisnode.exe",
                      noLeadBytes, "C:\\Program Files\\Veltra Corvane"},
        DirectoryCase{"TrailByteIsNotABackslash", "C:\\d\\\x95\x5c.exe", shiftJisLeadByte, "C:\\d"},
        DirectoryCase{"TrailByteInADirectoryName", "C:\\\x95\x5c\\Brisnode.exe", shiftJisLeadByte,
                      "C:\\\x95\x5c"},
        DirectoryCase{"SameBytesUnderSingleByteCodePage", "C:\\d\\\x95\x5c.exe", noLeadBytes,
                      "C:\\d\\\x95"},
        DirectoryCase{"LeadByteLastInThePath", "C:\\d\\x\x95", shiftJisLeadByte, "C:\\d"}),
    [](const testing::TestParamInfo<DirectoryCase>& info) { return std::string(info.param.name); });

TEST(BareDriveTest, OnlyADriveLetterAndColonAloneIsABareDrive) {
    for (const char* bare : {"C:", "c:", "Z:"})
        EXPECT_TRUE(isBareDrive(bare)) << bare;
    for (const char* other : {"C:\\", "C:\\svc", "C:svc", "", "C", "1:", "CC:", "\\\\srv\\share"})
        EXPECT_FALSE(isBareDrive(other)) << other;
}

struct FromDirectoryCase {
    const char* name;
    const char* directory;
    std::string path;
    std::size_t resultSize;
    std::string expected; // empty: does not fit
};

class PathFromDirectoryTest : public testing::TestWithParam<FromDirectoryCase> {};

TEST_P(PathFromDirectoryTest, TakesRelativePathsFromTheDirectory) {
    const FromDirectoryCase& c = GetParam();
    std::string result(c.resultSize + 8, '#');
    EXPECT_EQ(pathFromDirectory(c.directory, c.path.c_str(), &result[0], c.resultSize),
              !c.expected.empty());
    EXPECT_STREQ(result.c_str(), c.expected.c_str());
    EXPECT_EQ(result.substr(c.resultSize), std::string(8, '#')) << "written past the buffer";
}

INSTANTIATE_TEST_SUITE_P(
    Rules, PathFromDirectoryTest,
    testing::Values(
        FromDirectoryCase{"Relative", "C:\\Veltra", "logs\\server.log", 260,
                          "C:\\Veltra\\logs\\server.log"},
        FromDirectoryCase{"RelativeAtADriveRoot", "C:", "server.log", 260, "C:\\server.log"},
        FromDirectoryCase{"DriveAndRoot", "C:\\Veltra", "D:\\logs\\server.log", 260,
                          "D:\\logs\\server.log"},
        FromDirectoryCase{"DriveWithoutRootStandsAsItIs", "C:\\Veltra", "D:server.log", 260,
                          "D:server.log"},
        FromDirectoryCase{"RootOfTheCurrentDrive", "C:\\Veltra", "\\logs\\server.log", 260,
                          "\\logs\\server.log"},
        FromDirectoryCase{"Unc", "C:\\Veltra", "\\\\host\\share\\server.log", 260,
                          "\\\\host\\share\\server.log"},
        FromDirectoryCase{"Slash", "C:\\Veltra", "/logs/server.log", 260, "/logs/server.log"},
        FromDirectoryCase{"NoDirectory", "", "server.log", 260, "server.log"},
        FromDirectoryCase{"JustFits", "C:\\V", "abcd", 10, "C:\\V\\abcd"},
        FromDirectoryCase{"OneTooLong", "C:\\V", "abcde", 10, ""},
        FromDirectoryCase{"AbsoluteTooLong", "C:", "C:\\" + std::string(300, 'x'), 260, ""}),
    [](const testing::TestParamInfo<FromDirectoryCase>& info) {
        return std::string(info.param.name);
    });

struct RegistrationCase {
    const char* name;
    std::string path;
    std::size_t resultSize;
    bool expectedFits;
    std::string expectedPath;
};

class RegistrationPathTest : public testing::TestWithParam<RegistrationCase> {};

TEST_P(RegistrationPathTest, QuotesPathsWithBlanks) {
    const RegistrationCase& c = GetParam();
    std::string result(c.resultSize + 8, '#');
    EXPECT_EQ(registrationPath(c.path.c_str(), &result[0], c.resultSize), c.expectedFits);
    EXPECT_STREQ(result.c_str(), c.expectedPath.c_str());
    EXPECT_EQ(result.substr(c.resultSize), std::string(8, '#')) << "written past the buffer";
}

INSTANTIATE_TEST_SUITE_P(
    Rules, RegistrationPathTest,
    testing::Values(
        RegistrationCase{"WithoutBlankUnchanged", "C:\\svc\\Brisnode.exe", 262, true,
                         "C:\\svc\\Brisnode.exe"},
        RegistrationCase{"ProgramFilesQuoted", "C:\\Program Files\\Veltra\\Brisnode.exe", 262, true,
                         "\"C:\\Program Files\\Veltra\\Brisnode.exe\""},
        RegistrationCase{"BlankInFileNameQuoted", "C:\\svc\\Bris node.exe", 262, true,
                         "\"C:\\svc\\Bris node.exe\""},
        RegistrationCase{"LongestPathWithBlankFits", "C:\\ " + std::string(kTextSize - 5, 'x'),
                         kRegistrationPathSize, true,
                         "\"C:\\ " + std::string(kTextSize - 5, 'x') + "\""},
        RegistrationCase{"TooSmallForTheQuotes", "C:\\a b.exe", 12, false, ""},
        RegistrationCase{"ExactlyLargeEnough", "C:\\a b.exe", 13, true, "\"C:\\a b.exe\""}),
    [](const testing::TestParamInfo<RegistrationCase>& info) {
        return std::string(info.param.name);
    });

} // namespace
