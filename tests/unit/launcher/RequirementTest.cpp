#include "Requirement.h"

#include "BoundedText.h"

#include <gtest/gtest.h>

#include <cstring>

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
        {"Any::", "any Java"},
        {"017+:A:A", "Java 17 or later"},
        {"1.8+:A:A", "Java 8 or later"},
        {"11-17:A:A", "Java 11 to 17"},
        {"11-11:A:A", "Java 11"},
        {"1.1:Sun:Win:32", "Java 1.1 or later from Sun on Win:32"},
        {"1.2:A:A", nullptr},
        {"1.9+:A:A", nullptr},
        {"17-11:A:A", nullptr},
        {"17+:A", nullptr},
    };
    for (const Case& c : cases) {
        const std::size_t length = std::strlen(c.alternative);
        char words[40] = "untouched";
        EXPECT_EQ(isKnownAlternative(c.alternative, length), c.words != nullptr) << c.alternative;
        EXPECT_EQ(describeAlternative(c.alternative, length, words, sizeof words),
                  c.words != nullptr)
            << c.alternative;
        EXPECT_STREQ(words, c.words != nullptr ? c.words : "") << c.alternative;
    }
}

TEST(Requirement, InWordsJoinsTheKnownAlternativesAndLeavesOutTheOthers) {
    struct Case {
        const char* requirement;
        const char* words;
    };
    const Case cases[] = {
        {"17+:A:A", "Java 17 or later"},
        {"11-17:A:A  21+:Eclipse:A", "Java 11 to 17 or Java 21 or later from Eclipse"},
        {"1.2:A:A 8+:A:A 17", "Java 8 or later"},
        {"1.2:A:A", ""},
        {"", ""},
        // Refused whole rather than cut.
        {"8+:A:A 11+:A:A 17+:A:A 21+:A:A 25+:A:A 29+:A:A 33+:A:A 37+:A:A 41+:A:A 45+:A:A 49+:A:A",
         ""},
    };
    for (const Case& c : cases) {
        char words[kMaxText / 2] = "untouched";
        EXPECT_EQ(describeRequirement(c.requirement, words, sizeof words), c.words[0] != '\0')
            << c.requirement;
        EXPECT_STREQ(words, c.words) << c.requirement;
    }
}

} // namespace
