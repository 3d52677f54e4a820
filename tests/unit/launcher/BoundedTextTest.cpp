#include "BoundedText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

bool format(char* out, std::size_t size, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    bool whole = formatText(out, size, fmt, args);
    va_end(args);
    return whole;
}

TEST(CopyText, CopiesWhatFitsAndRefusesTheRest) {
    char buffer[8] = "keep";
    EXPECT_TRUE(copyText(buffer, "1234567"));
    EXPECT_STREQ(buffer, "1234567");
    EXPECT_FALSE(copyText(buffer, "12345678"));
    EXPECT_STREQ(buffer, "1234567");
}

TEST(AppendText, AppendsWhatFitsAndRefusesTheRest) {
    char buffer[8] = "abc";
    EXPECT_TRUE(appendText(buffer, "defg"));
    EXPECT_STREQ(buffer, "abcdefg");
    EXPECT_FALSE(appendText(buffer, "h"));
    EXPECT_STREQ(buffer, "abcdefg");
}

TEST(FormatText, CutsAMessageLongerThanItsBufferAndTerminatesIt) {
    char message[1024];
    std::string path(2000, 'p');
    EXPECT_FALSE(
        format(message, sizeof message, "This application has been saved to %s.", path.c_str()));
    EXPECT_EQ(std::strlen(message), 1023u);
    EXPECT_EQ(std::string(message, 35), "This application has been saved to ");

    EXPECT_TRUE(format(message, sizeof message, "saved to %s.", "C:\\out\\setup.class"));
    EXPECT_STREQ(message, "saved to C:\\out\\setup.class.");
}

TEST(FormatText, TakesATextThatFillsTheBufferExactly) {
    char message[8];
    EXPECT_TRUE(format(message, sizeof message, "%s", "1234567"));
    EXPECT_STREQ(message, "1234567");
    EXPECT_FALSE(format(message, sizeof message, "%s", "12345678"));
    EXPECT_STREQ(message, "1234567");
}

TEST(EqualsIgnoringCase, FoldsAsciiLettersWhateverTheLocale) {
    // In a Turkish locale the lower case of "I" is the dotless i (0xFD in code
    // page 1254), so a linguistic comparison finds "JVIEW.EXE" and "jview.exe"
    // different; executable names are matched by ASCII alone.
    EXPECT_TRUE(equalsIgnoringCase("JVIEW.EXE", "jview.exe"));
    EXPECT_TRUE(equalsIgnoringCase("Java.Exe", "java.exe"));
    EXPECT_FALSE(equalsIgnoringCase("JV\xFD"
                                    "EW.EXE",
                                    "jview.exe"));
    EXPECT_FALSE(equalsIgnoringCase("\xC4", "\xE4"));
    EXPECT_FALSE(equalsIgnoringCase("java.exe", "java.ex"));
    EXPECT_FALSE(equalsIgnoringCase("java.ex", "java.exe"));
    EXPECT_TRUE(equalsIgnoringCase("", ""));
}

} // namespace
