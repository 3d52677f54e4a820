//===- StopTimeout.cpp - How long a stop may take ------------------------===//
#include "StopTimeout.h"

namespace {
// Beyond the two bounded waits: starting the stop command, the reports.
constexpr std::uint32_t kPreshutdownMarginMilliseconds = 5000;
} // namespace

std::uint32_t clampStopTimeout(std::uint32_t requested) {
    if (requested < kMinStopTimeoutMilliseconds)
        return kMinStopTimeoutMilliseconds;
    if (requested > kMaxStopTimeoutMilliseconds)
        return kMaxStopTimeoutMilliseconds;
    return requested;
}

std::uint32_t preshutdownTimeoutFor(std::uint32_t stopTimeout, std::uint32_t current) {
    // Clamped first, so that the sum cannot wrap around.
    const std::uint32_t needed =
        clampStopTimeout(stopTimeout) + kTreeEndMilliseconds + kPreshutdownMarginMilliseconds;
    return needed > current ? needed : current;
}

std::uint32_t stopPollsFor(std::uint32_t stopTimeout) {
    const std::uint32_t wait =
        preshutdownTimeoutFor(stopTimeout, kMinStopPolls * kStopPollMilliseconds);
    return (wait + kStopPollMilliseconds - 1) / kStopPollMilliseconds;
}
