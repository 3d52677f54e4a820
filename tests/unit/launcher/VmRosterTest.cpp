#include "VmRoster.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(VmRoster, ListsAnExecutableOnceWhateverTheCaseOfItsAsciiLettersOrItsName) {
    struct Add {
        const char* path;
        bool listed;
        FileIdentity identity = FileIdentity();
    };
    const FileIdentity jdk{true, 0x1234, 42};
    const std::vector<std::vector<Add>> sequences = {
        {{"C:\\jdk\\Bin\\java.exe", true},
         {"C:\\JDK\\bin\\JAVA.EXE", false},
         {"c:\\jdk\\bin\\java.exe", false},
         {"C:\\jdk\\bin\\javaw.exe", true},
         {"C:\\jdk17\\bin\\java.exe", true}},
        // 0xC4 and 0xE4 are A and a with diaeresis in code page 1252, 0xDD and 0xFD
        // dotted capital I and dotless i in 1254: the locale decides what they are.
        {{"C:\\J\xC4VA\\java.exe", true},
         {"C:\\J\xE4VA\\java.exe", true},
         {"C:\\\xDD\\java.exe", true},
         {"C:\\\xFD\\java.exe", true},
         {"C:\\j\xC4va\\JAVA.exe", false}},
        // A short name, a substituted drive and a junction lead to one file; where
        // a file could not be opened its path alone decides.
        {{"C:\\Program Files\\jdk\\bin\\java.exe", true, jdk},
         {"C:\\PROGRA~1\\jdk\\bin\\java.exe", false, jdk},
         {"J:\\jdk\\bin\\java.exe", false, jdk},
         {"C:\\jdk\\bin\\java.exe", true, {true, 0x1234, 43}},
         {"C:\\jre\\bin\\java.exe", true, {true, 0x5678, 42}},
         {"C:\\javapath\\java.exe", true},
         {"C:\\JAVAPATH\\java.exe", false, jdk},
         {"c:\\program files\\jdk\\bin\\java.exe", false}},
    };
    for (const std::vector<Add>& sequence : sequences) {
        VmRoster roster;
        std::size_t listed = 0;
        for (const Add& add : sequence) {
            EXPECT_EQ(roster.add(add.path, add.identity), add.listed) << add.path;
            listed += add.listed ? 1 : 0;
        }
        EXPECT_EQ(roster.size(), listed);
    }
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
