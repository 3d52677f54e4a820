//===- RestartHistory.cpp - How often the server was started again -------===//
#include "RestartHistory.h"

bool RestartHistory::allowsRestart(std::uint32_t now) const {
    if (recorded_ < limit_)
        return true;
    // limit_ restarts are on record: the oldest of them must be out of the window.
    return limit_ != 0 && now - times_[oldest_] >= kRestartWindowMilliseconds;
}

void RestartHistory::recordRestart(std::uint32_t now) {
    if (limit_ == 0)
        return;
    if (recorded_ < limit_) {
        times_[recorded_++] = now;
        return;
    }
    times_[oldest_] = now;
    oldest_ = (oldest_ + 1) % limit_;
}
