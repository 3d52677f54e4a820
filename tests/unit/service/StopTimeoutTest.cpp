// How long a stop may take, and how long the system waits for it at shutdown.
#include "StopTimeout.h"

#include <gtest/gtest.h>

namespace {

TEST(StopTimeoutTest, KeptBetweenOneSecondAndOneHour) {
    const struct {
        std::uint32_t requested;
        std::uint32_t used;
    } cases[] = {{999, 1000}, {1000, 1000}, {3600000, 3600000}, {3600001, 3600000}};
    for (const auto& c : cases)
        EXPECT_EQ(clampStopTimeout(c.requested), c.used) << c.requested;
}

TEST(StopTimeoutTest, PreshutdownCoversTheWholeStopAndIsNeverLowered) {
    const struct {
        std::uint32_t stopTimeout;
        std::uint32_t current;
        std::uint32_t wanted;
    } cases[] = {
        {10000, 5000, 20000},          // raised above the stop and the end of a tree
        {10000, 180000, 180000},       // Windows' default of three minutes already covers it
        {0xFFFFFFFF, 180000, 3610000}, // clamped before the sum, which cannot wrap
        {0, 0, 11000},
    };
    for (const auto& c : cases)
        EXPECT_EQ(preshutdownTimeoutFor(c.stopTimeout, c.current), c.wanted)
            << c.stopTimeout << " " << c.current;
}

TEST(StopTimeoutTest, StopPollsCoverTheWholeStopAndNeverFallBelowThirty) {
    const struct {
        std::uint32_t stopTimeout;
        std::uint32_t polls;
    } cases[] = {
        {20000, 30},        // a stop of 30 s at most keeps the 30 polls
        {20001, 31},        // a millisecond more is a poll more
        {0xFFFFFFFF, 3610}, // clamped to an hour
    };
    for (const auto& c : cases)
        EXPECT_EQ(stopPollsFor(c.stopTimeout), c.polls) << c.stopTimeout;
}

} // namespace
