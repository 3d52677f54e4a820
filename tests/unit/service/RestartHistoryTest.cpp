// How often a server that ends by itself is started again.
#include "RestartHistory.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kMinute = 60 * 1000;

struct Attempt {
    std::uint32_t at;
    bool allowed; // and then recorded
};

struct HistoryCase {
    const char* name;
    std::uint32_t limit;
    std::vector<Attempt> attempts;
};

class RestartHistoryTest : public testing::TestWithParam<HistoryCase> {};

TEST_P(RestartHistoryTest, AllowsAtMostTheLimitWithinTenMinutes) {
    RestartHistory history(GetParam().limit);
    int index = 0;
    for (const Attempt& attempt : GetParam().attempts) {
        EXPECT_EQ(history.allowsRestart(attempt.at), attempt.allowed) << "attempt " << index;
        if (attempt.allowed)
            history.recordRestart(attempt.at);
        ++index;
    }
}

std::vector<Attempt> everySecond(std::uint32_t from, int allowed, int refused) {
    std::vector<Attempt> attempts;
    for (int i = 0; i < allowed + refused; ++i)
        attempts.push_back({from + 1000u * static_cast<std::uint32_t>(i), i < allowed});
    return attempts;
}

std::vector<Attempt> then(std::vector<Attempt> attempts, std::vector<Attempt> more) {
    attempts.insert(attempts.end(), more.begin(), more.end());
    return attempts;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, RestartHistoryTest,
    testing::Values(
        HistoryCase{"DefaultLimitGivesUpAtTheSixth", kDefaultRestartLimit, everySecond(0, 5, 2)},
        HistoryCase{"ZeroNeverRestarts", 0, {{0, false}, {20 * kMinute, false}}},
        // The window slides: each restart leaves it ten minutes after it was made.
        HistoryCase{"AllowedAgainWhenTheOldestIsTenMinutesOld",
                    2,
                    {{0, true},
                     {3 * kMinute, true},
                     {10 * kMinute - 1, false},
                     {10 * kMinute, true},
                     {12 * kMinute, false},
                     {13 * kMinute, true}}},
        HistoryCase{"SlowDeathsNeverReachTheLimit",
                    1,
                    {{0, true}, {10 * kMinute, true}, {20 * kMinute, true}, {30 * kMinute, true}}},
        HistoryCase{"ClockWrappingAroundKeepsTheWindow",
                    2,
                    {{0xffffffffu - kMinute, true},
                     {0xffffffffu, true},
                     {5 * kMinute, false},
                     {9 * kMinute, true}}},
        HistoryCase{"LimitsAboveTheMaximumCountAsIt", 1000,
                    then(everySecond(0, kMaxRestartLimit, 1), {{11 * kMinute, true}})}),
    [](const testing::TestParamInfo<HistoryCase>& info) { return std::string(info.param.name); });

} // namespace
