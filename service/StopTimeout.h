//===- StopTimeout.h - How long a stop may take --------------------------===//
//
// After a stop request the service waits a bounded time for the stop command
// and the server to end: 10 s, or "StopTimeout" milliseconds when that value
// is set, kept between one second and one hour so that a bad value can
// neither cut every stop short nor hold the service for ever. At a shutdown
// the system waits for the service only as long as its preshutdown time-out,
// which installation raises to cover the whole stop.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>

constexpr std::uint32_t kDefaultStopTimeoutMilliseconds = 10000;
constexpr std::uint32_t kMinStopTimeoutMilliseconds = 1000;
constexpr std::uint32_t kMaxStopTimeoutMilliseconds = 60 * 60 * 1000;

// The most that ending what is left of a server's process tree may take.
constexpr std::uint32_t kTreeEndMilliseconds = 5000;

// The requested time-out kept within its bounds.
std::uint32_t clampStopTimeout(std::uint32_t requested);

// The preshutdown time-out that lets a stop of stopTimeout run to its end,
// the ending of a process tree and the starting of the stop command
// included; never lower than current, the one the system has.
std::uint32_t preshutdownTimeoutFor(std::uint32_t stopTimeout, std::uint32_t current);

// "/stop" asks the service once a second whether it has stopped, 30 times,
// or as often as a whole stop of stopTimeout may take when that is longer:
// given up earlier, "/uninstall" would leave a service marked for deletion,
// which a following "/install" cannot create again.
constexpr std::uint32_t kStopPollMilliseconds = 1000;
constexpr std::uint32_t kMinStopPolls = 30;
std::uint32_t stopPollsFor(std::uint32_t stopTimeout);
