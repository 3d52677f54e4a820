#include "Path.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string joined(const char* path, const char* component) {
    char buffer[kMaxPath];
    std::strcpy(buffer, path);
    EXPECT_TRUE(joinPath(buffer, component));
    return buffer;
}

TEST(JoinPath, PutsExactlyOneBackslashBetweenItsParts) {
    struct Case {
        const char* path;
        const char* component;
        const char* expected;
    } cases[] = {
        {"C:\\WINNT", "jview.exe", "C:\\WINNT\\jview.exe"},
        {"C:\\WINNT\\", "jview.exe", "C:\\WINNT\\jview.exe"},
        {"", "x", "\\x"},
        {"C:\\out", "setup.class\\", "C:\\out\\setup.class"},
        {"C:\\out", "\\lead", "C:\\out\\\\lead"},
        {"Software\\JavaSoft\\Java Runtime Environment", "1.1",
         "Software\\JavaSoft\\Java Runtime Environment\\1.1"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(joined(c.path, c.component), c.expected) << c.path << " + " << c.component;
}

TEST(JoinPath, RefusesAResultLongerThanTheBufferAndLeavesThePath) {
    char path[kMaxPath];
    std::string longPath(kMaxPath - 10, 'a');
    std::strcpy(path, longPath.c_str());
    EXPECT_FALSE(joinPath(path, "123456789"));
    EXPECT_EQ(std::string(path), longPath);

    // The path, a backslash and 8 characters fill the buffer up to its NUL.
    EXPECT_TRUE(joinPath(path, "12345678"));
    EXPECT_EQ(std::strlen(path), kMaxPath - 1);
}

TEST(JoinPath, RefusesAComponentThatDoesNotFitAPathBuffer) {
    char path[kMaxPath] = "C:";
    std::string component(kMaxPath, 'c');
    EXPECT_FALSE(joinPath(path, component.c_str()));
    EXPECT_STREQ(path, "C:");
}

TEST(JoinPath, NeverWritesPastASmallBuffer) {
    char buffer[8] = "abc";
    EXPECT_FALSE(joinPath(buffer, "defg"));
    EXPECT_STREQ(buffer, "abc");
    EXPECT_TRUE(joinPath(buffer, "def"));
    EXPECT_STREQ(buffer, "abc\\def");
}

TEST(TrailingBackslash, IsAddedOnceAndRemovedOnce) {
    char a[kMaxPath] = "C:\\TEMP\\";
    EXPECT_TRUE(ensureTrailingBackslash(a));
    EXPECT_STREQ(a, "C:\\TEMP\\");
    char b[kMaxPath] = "C:\\TEMP";
    EXPECT_TRUE(ensureTrailingBackslash(b));
    EXPECT_STREQ(b, "C:\\TEMP\\");
    char c[kMaxPath] = "";
    EXPECT_TRUE(ensureTrailingBackslash(c));
    EXPECT_STREQ(c, "\\");
    char d[kMaxPath] = "C:\\x\\\\";
    stripTrailingBackslash(d);
    EXPECT_STREQ(d, "C:\\x\\");
    char full[4] = "abc";
    EXPECT_FALSE(ensureTrailingBackslash(full, sizeof full));
    EXPECT_STREQ(full, "abc");
}

TEST(FileNameOf, TakesTheTextAfterTheLastBackslash) {
    char out[kMaxPath] = "untouched";
    EXPECT_TRUE(fileNameOf("C:\\vm\\jview.exe\\", out));
    EXPECT_STREQ(out, "jview.exe");
    EXPECT_TRUE(fileNameOf("C:\\vm\\bin\\JAVA.EXE", out));
    EXPECT_STREQ(out, "JAVA.EXE");
    EXPECT_TRUE(fileNameOf("\\x", out));
    EXPECT_STREQ(out, "x");

    char unwritten[kMaxPath] = "untouched";
    EXPECT_FALSE(fileNameOf("jview.exe", unwritten));
    EXPECT_STREQ(unwritten, "untouched");
    EXPECT_FALSE(fileNameOf("", unwritten));
    EXPECT_STREQ(unwritten, "untouched");
}

TEST(StripExtension, CutsAtTheLastFullStopOnly) {
    char a[kMaxPath] = "setup.class";
    EXPECT_TRUE(stripExtension(a));
    EXPECT_STREQ(a, "setup");
    char b[kMaxPath] = "a.b.class";
    EXPECT_TRUE(stripExtension(b));
    EXPECT_STREQ(b, "a.b");
    char c[kMaxPath] = "setup";
    EXPECT_FALSE(stripExtension(c));
    EXPECT_STREQ(c, "setup");
    char d[kMaxPath] = ".class";
    EXPECT_TRUE(stripExtension(d));
    EXPECT_STREQ(d, "");
}

TEST(AbsolutePath, IsADriveRootedOrUncPathAndNothingThatDependsOnTheCurrentDirectory) {
    struct Case {
        const char* path;
        bool absolute;
    } cases[] = {
        {"C:\\jdk\\bin", true}, {"d:/jdk", true}, {"\\\\server\\share", true},
        {"//server/s", true},   {"", false},      {".", false},
        {"bin", false},         {"\\bin", false}, {"C:bin", false},
        {"C:", false},          {"1:\\x", false}, {"\"C:\\x\"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isAbsolutePath(c.path), c.absolute) << c.path;
}

TEST(ListElement, SplitsAtEverySemicolonKeepingEmptyElements) {
    std::string tooLong(kMaxPath, 'x');
    std::string text = "C:\\a;;.;" + tooLong + ";\\\\srv\\s;";
    const char* list = text.c_str();
    std::vector<std::string> elements;
    char element[kMaxPath];
    while (nextListElement(list, element))
        elements.push_back(element);
    EXPECT_EQ(elements, (std::vector<std::string>{"C:\\a", "", ".", "", "\\\\srv\\s", ""}));
    EXPECT_FALSE(nextListElement(list, element));
}

TEST(SplitFilter, TurnsEveryBarIntoANul) {
    char filter[kMaxPath] = "Executable Files (.exe)|*.exe|All Files|*.*||";
    std::size_t length = std::strlen(filter);
    splitFilter(filter);
    const char expected[] = "Executable Files (.exe)\0*.exe\0All Files\0*.*\0\0";
    ASSERT_EQ(length + 1, sizeof expected);
    EXPECT_EQ(std::memcmp(filter, expected, sizeof expected), 0);
}

TEST(PlainFileName, AcceptsOnlyANameThatStaysInItsDirectory) {
    struct Case {
        const char* name;
        bool plain;
    } cases[] = {
        {"setup.class", true}, {"CommandLine", true}, {"a b", true},       {"", false},
        {".", false},          {"..", false},         {"..\\evil", false}, {"sub\\x", false},
        {"x/y", false},        {"C:x", false},        {"\\root", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isPlainFileName(c.name), c.plain) << c.name;
}

TEST(PlainFileName, RefusesWhatWindowsCannotCreateOrTakesForADevice) {
    // Characters Windows refuses, control characters, a trailing dot or blank (it
    // would be dropped), and device names alone or with an extension, in any case.
    for (const char* name :
         {"setup?.class", "a<b",  "a>b",          "x\"y",         "a|b",        "*.class",
          "tab\tx",       "\x1f", "setup.class.", "setup.class ", "...",        "CON",
          "prn",          "Aux",  "nul.class",    "NUL.tar.gz",   "CON .txt",   "COM1",
          "com9.class",   "LPT1", "lpt9",         "COM\xb9",      "LPT\xb2.txt"})
        EXPECT_FALSE(isPlainFileName(name)) << name;
    for (const char* name : {".class", "a.b c", " lead", "CONSOLE", "NULL", "COM10", "LPT", "COM0",
                             "xcon", "con_1", "AUX1.class"})
        EXPECT_TRUE(isPlainFileName(name)) << name;
}

TEST(RunFolderName, IsRadadAndEightHexDigitsAndNothingElseCounts) {
    char name[kRunFolderNameSize];
    runFolderName(0x0123abcd, name);
    EXPECT_STREQ(name, "radad-0123abcd");
    EXPECT_TRUE(isRunFolderName(name));
    for (const char* other : {"radad-0123ABCD", "radad-0123abc", "radad-0123abcde",
                              "radad-0123abc.", "Radad-0123abcd", "radad-0123abcd\\x", "radad-"})
        EXPECT_FALSE(isRunFolderName(other)) << other;
}

} // namespace
