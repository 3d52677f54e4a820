#include "Requirement.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// The alternatives as the probe class reads them: the words for each, or null
// for one that no VM could meet.
TEST(Requirement, KnowsTheProbesFormsAndSaysThemInWords) {
    struct Case {
        const char* alternative;
        const char* words;
    };
    const Case cases[] = {
        {"1.1:A:A", "Java 1.1 or later"},
        {"1.1.8:A:A", "Java 1.1 or later"},
        {"1.10+:A:A", "Java 1.1 or later"},
        {"1.0:A:A", "any Java"},
        {"Any:A:A", "any Java"},
        {"1.08+:A:A", "any Java"},
        {"1.0::", "any Java"},
        {"17+:A:A", "Java 17 or later"},
        {"017+:A:A", "Java 17 or later"},
        {"1.8+:A:A", "Java 8 or later"},
        {"11-17:A:A", "Java 11 to 17"},
        {"11-11:A:A", "Java 11"},
        {"1.1:Sun:Windows", "Java 1.1 or later from Sun on Windows"},
        {"8+:a:Win:32", "Java 8 or later from a on Win:32"},
        {"1.2:A:A", nullptr},
        {"any:A:A", nullptr},
        {"17:A:A", nullptr},
        {"+:A:A", nullptr},
        {"17++:A:A", nullptr},
        {"1.9+:A:A", nullptr},
        {"17-11:A:A", nullptr},
        {"00017+:A:A", nullptr},
        {"1.8-11:A:A", nullptr},
        {"8-:A:A", nullptr},
        {":A:A", nullptr},
        {"17+:A", nullptr},
        {"A", nullptr},
    };
    for (const Case& c : cases) {
        const std::size_t length = std::strlen(c.alternative);
        char words[64] = "untouched";
        EXPECT_EQ(isKnownAlternative(c.alternative, length), c.words != nullptr) << c.alternative;
        EXPECT_EQ(describeAlternative(c.alternative, length, words, sizeof words),
                  c.words != nullptr)
            << c.alternative;
        EXPECT_STREQ(words, c.words != nullptr ? c.words : "") << c.alternative;
    }
}

TEST(Requirement, TakesTheAlternativesBetweenBlanksAndTabs) {
    const char* rest = "  1.1:X:Windows\t17+:A:A ";
    std::vector<std::string> alternatives;
    const char* alternative = nullptr;
    while (std::size_t length = nextAlternative(rest, alternative))
        alternatives.emplace_back(alternative, length);
    EXPECT_EQ(alternatives, (std::vector<std::string>{"1.1:X:Windows", "17+:A:A"}));
    // Only the alternative's own text counts, not what follows it.
    EXPECT_TRUE(isKnownAlternative("17+:A:A 1.2", 7));
}

TEST(Requirement, WritesNoWordsThatDoNotFit) {
    char words[16] = "untouched";
    EXPECT_FALSE(describeAlternative("11-17:Vendor:A", 14, words, sizeof words));
    EXPECT_STREQ(words, "");
    EXPECT_TRUE(describeAlternative("11-17:A:A", 9, words, sizeof words));
    EXPECT_FALSE(isKnownAlternative(std::string(300, 'A').append(":A:A").c_str(), 304));
}

} // namespace
