#include "VmRoster.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(VmRoster, ListsAnExecutableOnceWhateverTheCaseOfItsPath) {
    VmRoster roster;
    EXPECT_TRUE(roster.add("C:\\jdk\\Bin\\java.exe"));
    EXPECT_FALSE(roster.add("C:\\JDK\\bin\\JAVA.EXE"));
    EXPECT_FALSE(roster.add("c:\\jdk\\bin\\java.exe"));
    EXPECT_TRUE(roster.add("C:\\jdk\\bin\\javaw.exe"));
    EXPECT_TRUE(roster.add("C:\\jdk17\\bin\\java.exe"));
    EXPECT_EQ(roster.size(), 3u);
}

TEST(VmRoster, FoldsOnlyAsciiLetters) {
    // 0xC4 and 0xE4 are A and a with diaeresis in code page 1252, 0xDD and 0xFD
    // dotted capital I and dotless i in 1254: the locale decides what they are.
    VmRoster roster;
    EXPECT_TRUE(roster.add("C:\\J\xC4VA\\java.exe"));
    EXPECT_TRUE(roster.add("C:\\J\xE4VA\\java.exe"));
    EXPECT_TRUE(roster.add("C:\\\xDD\\java.exe"));
    EXPECT_TRUE(roster.add("C:\\\xFD\\java.exe"));
    EXPECT_FALSE(roster.add("C:\\j\xC4va\\JAVA.exe"));
}

TEST(VmRoster, ListsOneFileOnceUnderAnyOfItsNames) {
    // A short name, a junction and a substituted drive name one file; where a
    // file could not be opened its path alone decides.
    FileIdentity jdk{true, 0x1234, 42};
    FileIdentity unknown;
    VmRoster roster;
    EXPECT_TRUE(roster.add("C:\\Program Files\\jdk\\bin\\java.exe", jdk));
    EXPECT_FALSE(roster.add("C:\\PROGRA~1\\jdk\\bin\\java.exe", jdk));
    EXPECT_FALSE(roster.add("J:\\jdk\\bin\\java.exe", jdk));
    EXPECT_TRUE(roster.add("C:\\jdk\\bin\\java.exe", FileIdentity{true, 0x1234, 43}));
    EXPECT_TRUE(roster.add("C:\\jre\\bin\\java.exe", FileIdentity{true, 0x5678, 42}));
    EXPECT_TRUE(roster.add("C:\\javapath\\java.exe", unknown));
    EXPECT_FALSE(roster.add("C:\\JAVAPATH\\java.exe", jdk));
    EXPECT_FALSE(roster.add("c:\\program files\\jdk\\bin\\java.exe", unknown));
    EXPECT_EQ(roster.size(), 4u);
}

TEST(VmRoster, TakesNoMoreThanThirtyTwo) {
    VmRoster roster;
    for (std::size_t i = 0; i < kMaxVms; ++i) {
        EXPECT_FALSE(roster.full());
        EXPECT_TRUE(roster.add(("C:\\java" + std::to_string(i) + "\\bin\\java.exe").c_str()));
    }
    EXPECT_TRUE(roster.full());
    EXPECT_FALSE(roster.add("C:\\one more\\bin\\java.exe"));
    EXPECT_EQ(roster.size(), 32u);
}

TEST(VmRoster, TakesTheLongestPathButNoLonger) {
    VmRoster roster;
    std::string longest = "C:\\" + std::string(kMaxPath - 1 - 3, 'j');
    EXPECT_FALSE(roster.add((longest + "j").c_str()));
    EXPECT_TRUE(roster.add(longest.c_str()));
    EXPECT_FALSE(roster.add(longest.c_str()));
}

} // namespace
