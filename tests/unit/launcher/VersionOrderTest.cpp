#include "VersionOrder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> newestFirst(const std::vector<std::string>& offered) {
    VersionShortlist shortlist;
    for (const std::string& name : offered)
        shortlist.offer(name.c_str());
    std::vector<std::string> kept;
    for (std::size_t i = 0; i < shortlist.size(); ++i)
        kept.push_back(shortlist[i]);
    return kept;
}

TEST(VersionOrder, ComparesTheNumericPartsOneByOneAsNumbers) {
    struct Case {
        const char* older;
        const char* newer;
    };
    const Case cases[] = {
        {"17.0.2", "21"},
        {"11", "17.0.2"},
        {"1.8.0_392", "11"},
        {"9", "10"},
        {"1.8.0_99", "1.8.0_392"},
        {"1.8", "1.8.0_392"},
        {"17", "17.0.1"},
        {"1.8", "1.10"},
        {"2", "99999999999999999999999"},
        {"no version", "1.0"},
        {"007", "8"},
    };
    for (const Case& c : cases) {
        EXPECT_LT(compareVersions(c.older, c.newer), 0) << c.older << " before " << c.newer;
        EXPECT_GT(compareVersions(c.newer, c.older), 0) << c.newer << " after " << c.older;
    }
    EXPECT_EQ(compareVersions("17.0.2", "17.0.2"), 0);
}

TEST(VersionOrder, NamesWithTheSameNumbersStillHaveAnOrder) {
    // "1.8" and "1,8", "07" and "7": equal as versions, yet not the same key.
    EXPECT_NE(compareVersions("1.8", "1,8"), 0);
    EXPECT_EQ(compareVersions("1.8", "1,8"), -compareVersions("1,8", "1.8"));
    EXPECT_NE(compareVersions("07", "7"), 0);
}

TEST(VersionShortlist, ListsTheOfferedVersionsNewestFirst) {
    EXPECT_EQ(newestFirst({"1.8.0_392", "11", "21", "17.0.2", "1.8"}),
              (std::vector<std::string>{"21", "17.0.2", "11", "1.8.0_392", "1.8"}));
    EXPECT_EQ(newestFirst({}), std::vector<std::string>{});
}

TEST(VersionShortlist, KeepsTheNewestWhenMoreAreOfferedThanItHolds) {
    std::vector<std::string> offered;
    // 1 to 40 in a scrambled order (17 and 40 have no common divisor).
    for (int i = 0; i < 40; ++i)
        offered.push_back(std::to_string(i * 17 % 40 + 1));
    std::vector<std::string> expected;
    for (int version = 40; version > 40 - int(VersionShortlist::kCapacity); --version)
        expected.push_back(std::to_string(version));
    EXPECT_EQ(newestFirst(offered), expected);
}

TEST(VersionShortlist, TurnsThePageToTheOlderNamesItHadNoRoomFor) {
    VersionShortlist shortlist;
    auto offerAll = [&shortlist] {
        for (int i = 0; i < 40; ++i)
            shortlist.offer(std::to_string(i * 17 % 40 + 1).c_str());
    };
    offerAll();
    ASSERT_TRUE(shortlist.full());
    EXPECT_STREQ(shortlist[31], "9");
    shortlist.turnPage();
    offerAll();
    ASSERT_EQ(shortlist.size(), 8u);
    EXPECT_FALSE(shortlist.full());
    for (std::size_t i = 0; i < 8; ++i)
        EXPECT_EQ(shortlist[i], std::to_string(8 - i));
}

TEST(VersionShortlist, TakesNoNameLongerThanARegistryKeyName) {
    std::string longest(255, '9');
    EXPECT_EQ(newestFirst({"1", longest, longest + "9"}), (std::vector<std::string>{longest, "1"}));
}

} // namespace
