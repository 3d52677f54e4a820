//===- ServiceState.h - The states the service reports -------------------===//
//
// The service's state is changed by two threads: the service's own thread
// (running, stopped) and the dispatcher's thread through the control handler
// (stop pending). The caller holds one lock around each change and the report
// that follows it; this class decides which changes are allowed, so that
// stopped, once reported, stays the last report: the dispatcher returns only
// after a stopped report, and a stop pending reported after it would keep the
// process alive for ever.
//
// The state numbers and the stop control code are those of the Service
// Control Manager (checked against <windows.h> in the Windows build).
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>

namespace service_state {
constexpr std::uint32_t kNone = 0;
constexpr std::uint32_t kStopped = 1;
constexpr std::uint32_t kStartPending = 2;
constexpr std::uint32_t kStopPending = 3;
constexpr std::uint32_t kRunning = 4;
constexpr std::uint32_t kControlStop = 1;
} // namespace service_state

struct ControlOutcome {
    bool report;     // report the record, in its current state
    bool signalStop; // then wake the service's thread
};

class ServiceState {
public:
    std::uint32_t current() const { return current_; }

    // The service's thread has begun: start pending, not reported.
    void begin();
    // The server runs. True when this is to be reported.
    bool markRunning();
    // A control from the Service Control Manager.
    ControlOutcome control(std::uint32_t code);
    // The service's work is over. True the first time only.
    bool markStopped();

private:
    std::uint32_t current_ = service_state::kNone;
};
