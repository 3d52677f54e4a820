#include "VmCommandLine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string tail(const char* option, const char* directory, const char* className,
                 const char* arguments) {
    char out[kMaxTail] = "untouched";
    EXPECT_TRUE(buildClassTail(option, directory, className, arguments, out, sizeof out));
    return out;
}

TEST(ClassTail, NamesTheClassAsEachKindExpects) {
    struct Case {
        const char* kind;
        const char* option;
        const char* arguments;
        const char* expected;
    } cases[] = {
        {"java.exe, probe", nullptr, "1.1:A:A", "QvxVersion 1.1:A:A"},
        {"jre.exe, probe", "-cp ", "1.1:A:A", "-cp C:\\TEMP\\ QvxVersion 1.1:A:A"},
        {"jview.exe, probe", "-cp:p ", "1.1:A:A", "-cp:p C:\\TEMP\\ QvxVersion 1.1:A:A"},
        {"jre.exe, two alternatives", "-cp ", "1.1:X:Windows 1.0:A:A",
         "-cp C:\\TEMP\\ QvxVersion 1.1:X:Windows 1.0:A:A"},
        {"jre.exe, no arguments", "-cp ", nullptr, "-cp C:\\TEMP\\ QvxVersion"},
        {"java.exe, no arguments", nullptr, nullptr, "QvxVersion"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tail(c.option, "C:\\TEMP\\", "QvxVersion", c.arguments), c.expected) << c.kind;
}

TEST(ClassTail, QuotesAClassDirectoryWithABlankWithoutItsTrailingBackslash) {
    const char* directory = "C:\\Documents and Settings\\user\\Local Settings\\Temp\\";
    EXPECT_EQ(tail("-cp ", directory, "setup", nullptr),
              "-cp \"C:\\Documents and Settings\\user\\Local Settings\\Temp\" setup");
    EXPECT_EQ(tail("-cp:p ", directory, "QvxVersion", "1.1:A:A"),
              "-cp:p \"C:\\Documents and Settings\\user\\Local Settings\\Temp\" QvxVersion "
              "1.1:A:A");
    EXPECT_EQ(tail("-cp ", "C:\\My Temp", "setup", nullptr), "-cp \"C:\\My Temp\" setup");
}

TEST(ClassTail, RefusesATailThatDoesNotFitItsBuffer) {
    std::string arguments(kMaxTail - 1 - std::strlen("QvxVersion "), 'a');
    char out[kMaxTail];
    EXPECT_TRUE(
        buildClassTail(nullptr, "C:\\T\\", "QvxVersion", arguments.c_str(), out, sizeof out));
    EXPECT_EQ(std::strlen(out), kMaxTail - 1);
    arguments.push_back('a');
    std::strcpy(out, "untouched");
    EXPECT_FALSE(
        buildClassTail(nullptr, "C:\\T\\", "QvxVersion", arguments.c_str(), out, sizeof out));
    EXPECT_STREQ(out, "untouched");
}

TEST(CommandLine, QuotesTheExecutableAndAppendsTheTail) {
    char out[kMaxCommandLine];
    ASSERT_TRUE(buildCommandLine("C:\\Program Files\\Java\\bin\\jre.exe",
                                 "-cp C:\\TEMP\\ QvxVersion 1.1:A:A", out, sizeof out));
    EXPECT_STREQ(out,
                 "\"C:\\Program Files\\Java\\bin\\jre.exe\" -cp C:\\TEMP\\ QvxVersion 1.1:A:A");
    ASSERT_TRUE(buildCommandLine("C:\\x\\java.exe", nullptr, out, sizeof out));
    EXPECT_STREQ(out, "\"C:\\x\\java.exe\"");
}

TEST(CommandLine, RefusesALineThatDoesNotFitItsBuffer) {
    std::string path(kMaxPath - 1, 'p');
    std::string fits(kMaxCommandLine - 1 - path.size() - 3, 'a');
    char out[kMaxCommandLine];
    EXPECT_TRUE(buildCommandLine(path.c_str(), fits.c_str(), out, sizeof out));
    EXPECT_EQ(std::strlen(out), kMaxCommandLine - 1);
    std::string tooLong = fits + "a";
    EXPECT_FALSE(buildCommandLine(path.c_str(), tooLong.c_str(), out, sizeof out));
}

std::vector<std::string> entries(const std::vector<char>& block) {
    std::vector<std::string> out;
    for (const char* p = block.data(); *p != '\0'; p += std::strlen(p) + 1)
        out.push_back(p);
    return out;
}

std::vector<char> withClasspath(const char* block, std::size_t blockSize, const char* value) {
    std::vector<char> source(block, block + blockSize);
    std::size_t needed = environmentWith(source.data(), "CLASSPATH", value, nullptr, 0);
    std::vector<char> out(needed, 'x');
    EXPECT_EQ(environmentWith(source.data(), "CLASSPATH", value, out.data(), out.size()), needed);
    EXPECT_EQ(out[needed - 1], '\0');
    EXPECT_EQ(out[needed - 2], '\0');
    return out;
}

TEST(Environment, AddsClasspathToTheInheritedVariables) {
    const char block[] = "PATH=C:\\WINDOWS\0TEMP=C:\\TEMP\0";
    auto out = withClasspath(block, sizeof block, "C:\\TEMP\\");
    EXPECT_EQ(entries(out), (std::vector<std::string>{"PATH=C:\\WINDOWS", "TEMP=C:\\TEMP",
                                                      "CLASSPATH=C:\\TEMP\\"}));
}

TEST(Environment, ReplacesTheUsersOwnClasspathInAnyLetterCase) {
    const char block[] = "classpath=D:\\mine\0PATH=x\0CLASSPATHX=keep\0ClassPath=D:\\other\0";
    auto out = withClasspath(block, sizeof block, "C:\\TEMP\\");
    EXPECT_EQ(entries(out),
              (std::vector<std::string>{"PATH=x", "CLASSPATHX=keep", "CLASSPATH=C:\\TEMP\\"}));
}

TEST(Environment, WritesNothingIntoABufferThatIsTooSmall) {
    const char block[] = "PATH=x\0";
    std::vector<char> out(5, 'u');
    std::size_t needed = environmentWith(block, "CLASSPATH", "C:\\T\\", out.data(), out.size());
    EXPECT_GT(needed, out.size());
    EXPECT_EQ(std::string(out.data(), out.size()), "uuuuu");
}

TEST(Environment, StartsFromNothingWhenThereIsNoInheritedBlock) {
    std::vector<char> out(64);
    std::size_t needed = environmentWith(nullptr, "CLASSPATH", "C:\\T\\", out.data(), out.size());
    EXPECT_EQ(needed, std::strlen("CLASSPATH=C:\\T\\") + 2);
    EXPECT_STREQ(out.data(), "CLASSPATH=C:\\T\\");
}

} // namespace
