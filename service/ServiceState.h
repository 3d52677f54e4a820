//===- ServiceState.h - The states the service reports -------------------===//
//
// The service's state is changed by two threads: the service's own thread
// (running, stopped, the progress of a stop) and the dispatcher's thread
// through the control handler (stop pending). ServiceState decides which
// changes are allowed, so that stopped, once reported, stays the last report:
// the dispatcher returns only after a stopped report, and a stop pending
// reported after it would keep the process alive for ever.
// ReportedServiceState holds one lock around each change and the report that
// follows it, so that no report can overtake the change of the other thread.
//
// A stop control and the system's shutdown (the preshutdown control where the
// system offers it, the shutdown control before) lead to the same stop. While
// it lasts, the service's thread reports stop pending with a new checkpoint
// at least once per wait hint, so that the system waits for it.
//
// The numbers are those of the Service Control Manager (checked against
// <windows.h> in the Windows build).
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
constexpr std::uint32_t kControlInterrogate = 4;
constexpr std::uint32_t kControlShutdown = 5;
constexpr std::uint32_t kControlPreshutdown = 15;

// What the extended handler answers: handled, or a control the service does
// not act on (a user-defined code 128-255, which the manager passes on
// whatever the service accepts).
constexpr std::uint32_t kNoError = 0;
constexpr std::uint32_t kCallNotImplemented = 120;

constexpr std::uint32_t kAcceptStop = 0x1;
constexpr std::uint32_t kAcceptShutdown = 0x4;
constexpr std::uint32_t kAcceptPreshutdown = 0x100;

// The longest time between two reports of stop pending.
constexpr std::uint32_t kStopPendingWaitHint = 10000;

// ERROR_SERVICE_SPECIFIC_ERROR: the service-specific code says what failed.
constexpr std::uint32_t kServiceSpecificError = 1066;
// The service-specific codes of Brisnode's own failures.
constexpr std::uint32_t kRestartsRanOut = 1;
constexpr std::uint32_t kNoStartCommand = 2;
constexpr std::uint32_t kServerOutlivedStop = 3;
} // namespace service_state

// Stop, and the shutdown in the form the system offers: Windows XP and Server
// 2003 know no preshutdown and refuse a status that accepts it.
std::uint32_t acceptedControls(bool preshutdownOffered);

// The handler's answer to a control: kNoError for the stop, the two forms of
// shutdown and interrogate (which every service answers), kCallNotImplemented
// for any other, so that the sender is not told it was carried out.
std::uint32_t controlResult(std::uint32_t code);

struct ControlOutcome {
    bool report;     // report the record, in its current state
    bool signalStop; // then wake the service's thread
};

class ServiceState {
public:
    std::uint32_t current() const { return current_; }
    std::uint32_t checkPoint() const { return checkPoint_; }
    std::uint32_t waitHint() const;
    // The control that asked for the stop; 0 while none did.
    std::uint32_t stopControl() const { return stopControl_; }

    // The service's thread has begun: start pending, not reported.
    void begin();
    // The server runs. True when this is to be reported.
    bool markRunning();
    // A control from the Service Control Manager.
    ControlOutcome control(std::uint32_t code);
    // The stop goes on: the next checkpoint. True when this is to be reported.
    bool progress();
    // The service's work is over. True the first time only.
    bool markStopped();

private:
    std::uint32_t current_ = service_state::kNone;
    std::uint32_t checkPoint_ = 0;
    std::uint32_t stopControl_ = 0;
};

// What the Service Control Manager is told with the stopped report. A
// failure makes it log an error and apply the recovery actions configured for
// the service; 0 and 0 are a clean stop.
struct ExitCodes {
    std::uint32_t win32 = 0;
    std::uint32_t serviceSpecific = 0;
};

// The ends other than a stop request that ended the server, which is a clean stop.
enum class ServiceEnd {
    StartFailed,    // detail: the Windows error; 0 when there was no command to start
    ServerEnded,    // detail: the server's exit code
    RestartsRanOut, // a server that kept ending used up its restarts
    // A stop after which the server still runs: without ProcessTree nothing
    // ends it, and the next start would run a second one beside it.
    ServerOutlivedStop,
};

ExitCodes exitCodesFor(ServiceEnd end, std::uint32_t detail);

// What the Service Control Manager is told at each report.
struct StatusReport {
    std::uint32_t state;
    std::uint32_t win32ExitCode;
    std::uint32_t serviceSpecificExitCode;
    std::uint32_t checkPoint;
    std::uint32_t waitHint;
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

    void progress() {
        Guard guard(lock_);
        if (state_.progress())
            report();
    }

    // The exit codes go out with the stopped report only.
    void markStopped(const ExitCodes& codes = ExitCodes()) {
        Guard guard(lock_);
        if (state_.markStopped()) {
            codes_ = codes;
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

    std::uint32_t stopControl() {
        Guard guard(lock_);
        return state_.stopControl();
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
        report_(StatusReport{state_.current(), codes_.win32, codes_.serviceSpecific,
                             state_.checkPoint(), state_.waitHint()},
                context_);
    }

    Lock& lock_;
    Report report_;
    void* context_;
    ServiceState state_;
    ExitCodes codes_;
};
