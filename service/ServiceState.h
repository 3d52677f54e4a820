//===- ServiceState.h - The states the service reports -------------------===//
//
// The service's state is changed by two threads: the service's own thread
// (running, stopped) and the dispatcher's thread through the control handler
// (stop pending). ServiceState decides which changes are allowed, so that
// stopped, once reported, stays the last report: the dispatcher returns only
// after a stopped report, and a stop pending reported after it would keep the
// process alive for ever. ReportedServiceState holds one lock around each
// change and the report that follows it, so that no report can overtake the
// change of the other thread.
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

// What the Service Control Manager is told at each report.
struct StatusReport {
    std::uint32_t state;
    std::uint32_t win32ExitCode;
    std::uint32_t serviceSpecificExitCode;
};

// Lock is anything with lock() and unlock(): a critical section in the
// program, a std::mutex in the tests. The report is called with the lock held.
template <class Lock> class ReportedServiceState {
public:
    using Report = void (*)(const StatusReport& report, void* context);

    ReportedServiceState(Lock& lock, Report report, void* context)
        : lock_(lock), report_(report), context_(context) {}

    void begin() {
        Guard guard(lock_);
        state_.begin();
    }

    void markRunning() {
        Guard guard(lock_);
        if (state_.markRunning())
            report();
    }

    // The exit codes go out with the stopped report only.
    void markStopped(std::uint32_t win32ExitCode = 0, std::uint32_t serviceSpecificExitCode = 0) {
        Guard guard(lock_);
        if (state_.markStopped()) {
            win32ExitCode_ = win32ExitCode;
            serviceSpecificExitCode_ = serviceSpecificExitCode;
            report();
        }
    }

    // A control from the Service Control Manager. True when the service's
    // thread is to be woken, which the caller does after this returns, so
    // that stop pending is out before that thread can report stopped.
    bool control(std::uint32_t code) {
        Guard guard(lock_);
        const ControlOutcome outcome = state_.control(code);
        if (outcome.report)
            report();
        return outcome.signalStop;
    }

private:
    class Guard {
    public:
        explicit Guard(Lock& lock) : lock_(lock) { lock_.lock(); }
        ~Guard() { lock_.unlock(); }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;

    private:
        Lock& lock_;
    };

    void report() {
        report_(StatusReport{state_.current(), win32ExitCode_, serviceSpecificExitCode_}, context_);
    }

    Lock& lock_;
    Report report_;
    void* context_;
    ServiceState state_;
    std::uint32_t win32ExitCode_ = 0;
    std::uint32_t serviceSpecificExitCode_ = 0;
};
