//===- RestartHistory.h - How often the server was started again ---------===//
//
// With "RestartDelay" set, a server that ends by itself is started again after
// the delay, but at most "RestartLimit" times within ten minutes: a server
// that cannot stay up makes the service give up instead of restarting it for
// ever. The times come from a millisecond clock that wraps around after 49.7
// days (GetTickCount); only differences of them are used.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>

constexpr std::uint32_t kRestartWindowMilliseconds = 10 * 60 * 1000;
constexpr std::uint32_t kDefaultRestartLimit = 5;
// Higher limits count as this one.
constexpr std::uint32_t kMaxRestartLimit = 100;
// Longer delays count as this one.
constexpr std::uint32_t kMaxRestartDelayMilliseconds = 60 * 60 * 1000;

class RestartHistory {
public:
    explicit RestartHistory(std::uint32_t limit)
        : limit_(limit < kMaxRestartLimit ? limit : kMaxRestartLimit) {}

    // True when a restart at now leaves fewer than limit restarts before it
    // within the last ten minutes.
    bool allowsRestart(std::uint32_t now) const;
    void recordRestart(std::uint32_t now);

private:
    std::uint32_t limit_;
    std::uint32_t recorded_ = 0; // at most limit_
    std::uint32_t oldest_ = 0;   // index of the oldest of the last limit_ restarts
    std::uint32_t times_[kMaxRestartLimit] = {};
};
