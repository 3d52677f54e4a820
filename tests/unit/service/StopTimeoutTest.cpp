// How long a stop may take, and how long the system waits for it at shutdown.
#include "StopTimeout.h"

#include <gtest/gtest.h>

namespace {

// Each requested time-out: the one used, kept between one second and one
// hour; the preshutdown time-out that covers the stop and the end of a tree;
// and the polls of /stop, 30 or as many seconds as that whole stop.
TEST(StopTimeoutTest, BoundedAndCoveredAtShutdownAndByTheStopPolls) {
    const struct {
        std::uint32_t requested;
        std::uint32_t used;
        std::uint32_t preshutdown;
        std::uint32_t polls;
    } cases[] = {
        {999, 1000, 11000, 30},
        {1000, 1000, 11000, 30},
        {20000, 20000, 30000, 30},
        {20001, 20001, 30001, 31}, // a millisecond more is a poll more
        {3600000, 3600000, 3610000, 3610},
        {3600001, 3600000, 3610000, 3610},
        {0xFFFFFFFF, 3600000, 3610000, 3610}, // clamped before the sum, which cannot wrap
    };
    for (const auto& c : cases) {
        EXPECT_EQ(clampStopTimeout(c.requested), c.used) << c.requested;
        EXPECT_EQ(preshutdownTimeoutFor(c.requested, 0), c.preshutdown) << c.requested;
        EXPECT_EQ(stopPollsFor(c.requested), c.polls) << c.requested;
    }
    // Windows' default of three minutes already covers a stop of 10 s: never lowered.
    EXPECT_EQ(preshutdownTimeoutFor(10000, 180000), 180000u);
}

} // namespace
