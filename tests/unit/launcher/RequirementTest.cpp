#include "Requirement.h"

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

} // namespace
