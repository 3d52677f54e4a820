//===- ServiceRuntimeWin32.cpp - Brisnode running as the service ---------===//
#include "ServiceRuntimeWin32.h"
#include "ServiceRuntime.h"

#include "ImagePath.h"
#include "RestartHistory.h"
#include "ServiceConfig.h"
#include "ServiceIdentity.h"
#include "ServiceState.h"

static_assert(service_state::kStopped == SERVICE_STOPPED, "state numbers of the manager");
static_assert(service_state::kStartPending == SERVICE_START_PENDING,
              "state numbers of the manager");
static_assert(service_state::kStopPending == SERVICE_STOP_PENDING, "state numbers of the manager");
static_assert(service_state::kRunning == SERVICE_RUNNING, "state numbers of the manager");
static_assert(service_state::kControlStop == SERVICE_CONTROL_STOP, "control codes of the manager");

namespace {
constexpr DWORD kStopWaitMilliseconds = 10000;
// Reported with ERROR_SERVICE_SPECIFIC_ERROR when a server that kept ending
// used up its restarts.
constexpr DWORD kRestartsRanOut = 1;

constexpr char kStartCommandRole[] = "start command";
constexpr char kStopCommandRole[] = "stop command";
constexpr char kServerRole[] = "server";

// Set by the control handler, waited on by the service's thread. Auto-reset,
// so that it wakes the one wait there is.
UniqueHandle stopEvent;

// The handler runs on the dispatcher's thread and serviceMain on its own; each
// change of state and the report of it happen under this lock.
CRITICAL_SECTION statusSection;
SERVICE_STATUS serviceStatus;
SERVICE_STATUS_HANDLE statusHandle;

struct StatusLock {
    void lock() { EnterCriticalSection(&statusSection); }
    void unlock() { LeaveCriticalSection(&statusSection); }
};
StatusLock statusLock;

class StatusLockGuard {
public:
    StatusLockGuard() { statusLock.lock(); }
    ~StatusLockGuard() { statusLock.unlock(); }
    StatusLockGuard(const StatusLockGuard&) = delete;
    StatusLockGuard& operator=(const StatusLockGuard&) = delete;
};

// Called with the lock held.
void reportStatus(const StatusReport& report, void*) {
    serviceStatus.dwCurrentState = report.state;
    serviceStatus.dwWin32ExitCode = report.win32ExitCode;
    serviceStatus.dwServiceSpecificExitCode = report.serviceSpecificExitCode;
    SetServiceStatus(statusHandle, &serviceStatus);
}

ReportedServiceState<StatusLock> serviceState(statusLock, reportStatus, nullptr);

void logEnd(ServiceLog& log, const char* role, HANDLE process) {
    LogLine line = ServiceLog::line();
    line.text(role).text(" ended");
    DWORD code = 0;
    if (GetExitCodeProcess(process, &code))
        line.text(" with exit code ").exitCode(code);
    log.write(line);
}
} // namespace

bool initialiseRuntime() {
    InitializeCriticalSection(&statusSection);
    stopEvent.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    return static_cast<bool>(stopEvent);
}

bool runAsService() {
    // The table wants writable names.
    char serviceName[sizeof kServiceName];
    for (std::size_t i = 0; i < sizeof kServiceName; ++i)
        serviceName[i] = kServiceName[i];
    SERVICE_TABLE_ENTRYA dispatchTable[2] = {{serviceName, serviceMain}, {nullptr, nullptr}};
    StartServiceCtrlDispatcherA(dispatchTable);
    return true;
}

void WINAPI serviceMain(DWORD, LPSTR*) {
    {
        StatusLockGuard guard;
        serviceStatus = SERVICE_STATUS();
        serviceStatus.dwServiceType = SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS;
        serviceStatus.dwControlsAccepted = SERVICE_ACCEPT_STOP;
        serviceStatus.dwCurrentState = SERVICE_START_PENDING;
    }
    serviceState.begin();
    const SERVICE_STATUS_HANDLE registered =
        RegisterServiceCtrlHandlerA(kServiceName, controlHandler);
    if (registered == nullptr)
        return;
    {
        StatusLockGuard guard;
        statusHandle = registered;
    }

    ServiceLog log;
    log.open();
    const RestartPolicy policy = readRestartPolicy(log);
    DWORD serviceSpecificExitCode = 0;
    UniqueHandle server;
    if (launchCommand(kStartCmdValue, kStartCommandRole, server, log)) {
        serviceState.markRunning();
        serviceSpecificExitCode = superviseServer(server, policy, log);
    }
    // Before the report: once stopped is out, the process may end at any time.
    log.write("service stopped");
    if (serviceSpecificExitCode != 0)
        serviceState.markStopped(ERROR_SERVICE_SPECIFIC_ERROR, serviceSpecificExitCode);
    else
        serviceState.markStopped();
}

void WINAPI controlHandler(DWORD control) {
    // After the report, so that stop pending is out before serviceMain can
    // report stopped.
    if (serviceState.control(control))
        SetEvent(stopEvent.get());
}

RestartPolicy readRestartPolicy(ServiceLog& log) {
    RestartPolicy policy;
    std::uint32_t delay = 0;
    const OptionalValue delayFound = readOptionalNumber(kRestartDelayValue, delay);
    if (delayFound == OptionalValue::WrongType)
        log.write("RestartDelay is not a REG_DWORD: a server that ends is not restarted");
    if (delayFound != OptionalValue::Found)
        return policy;
    if (delay > kMaxRestartDelayMilliseconds) {
        LogLine line = ServiceLog::line();
        line.text("RestartDelay of ")
            .number(delay)
            .text(" ms is over one hour: ")
            .number(kMaxRestartDelayMilliseconds)
            .text(" ms used");
        log.write(line);
        delay = kMaxRestartDelayMilliseconds;
    }
    std::uint32_t limit = kDefaultRestartLimit;
    if (readOptionalNumber(kRestartLimitValue, limit) == OptionalValue::WrongType) {
        LogLine line = ServiceLog::line();
        line.text("RestartLimit is not a REG_DWORD: ").number(limit).text(" used");
        log.write(line);
    } else if (limit > kMaxRestartLimit) {
        LogLine line = ServiceLog::line();
        line.text("RestartLimit of ")
            .number(limit)
            .text(" is over ")
            .number(kMaxRestartLimit)
            .text(": ")
            .number(kMaxRestartLimit)
            .text(" used");
        log.write(line);
        limit = kMaxRestartLimit;
    }
    policy.enabled = true;
    policy.delay = delay;
    policy.limit = limit;
    LogLine line = ServiceLog::line();
    line.text("a server that ends by itself is started again after ")
        .number(delay)
        .text(" ms, at most ")
        .number(limit)
        .text(" times within 10 minutes");
    log.write(line);
    return policy;
}

bool launchCommand(const char* valueName, const char* role, UniqueHandle& process,
                   ServiceLog& log) {
    char command[kTextSize] = "";
    readServiceValue(valueName, command);
    char directory[kTextSize] = "";
    readServiceValue(kImageDirValue, directory);
    if (isBareDrive(directory)) {
        directory[2] = '\\';
        directory[3] = '\0';
    }

    STARTUPINFOA startup = STARTUPINFOA();
    startup.cb = sizeof startup;
    // This thread alone starts processes, so the log's inheritable copy, which
    // lives only for this call, reaches this command and no other process.
    const UniqueHandle output = log.inheritableCopy();
    if (output) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = output.get();
        startup.hStdError = output.get();
    }
    PROCESS_INFORMATION created = PROCESS_INFORMATION();
    // Detached: a console program started by the service gets no console.
    if (!CreateProcessA(nullptr, command, nullptr, nullptr, output ? TRUE : FALSE,
                        DETACHED_PROCESS | NORMAL_PRIORITY_CLASS, nullptr, directory, &startup,
                        &created)) {
        const DWORD error = GetLastError();
        LogLine line = ServiceLog::line();
        line.text(role).text(" could not be started (");
        ServiceLog::appendError(line, error);
        line.text("): ").text(command);
        log.write(line);
        return false;
    }
    UniqueHandle thread(created.hThread);
    process.reset(created.hProcess);
    LogLine line = ServiceLog::line();
    line.text(role)
        .text(" started as process ")
        .number(created.dwProcessId)
        .text(": ")
        .text(command);
    log.write(line);
    return true;
}

bool runStopCommand(HANDLE serverProcess, ServiceLog& log) {
    UniqueHandle stopProcess;
    if (!launchCommand(kStopCmdValue, kStopCommandRole, stopProcess, log))
        return false;
    // Each end is logged as it comes; the wait as a whole lasts at most 10 s.
    HANDLE waited[2] = {stopProcess.get(), serverProcess};
    const char* roles[2] = {kStopCommandRole, kServerRole};
    DWORD running = 2;
    const DWORD started = GetTickCount();
    while (running > 0) {
        const DWORD elapsed = GetTickCount() - started;
        const DWORD woke =
            elapsed < kStopWaitMilliseconds
                ? WaitForMultipleObjects(running, waited, FALSE, kStopWaitMilliseconds - elapsed)
                : WAIT_TIMEOUT;
        if (woke == WAIT_TIMEOUT) {
            LogLine line = ServiceLog::line();
            line.text("gave up waiting after 10 s: the ").text(roles[0]);
            if (running == 2)
                line.text(" and the ").text(roles[1]);
            line.text(running == 2 ? " still run" : " still runs");
            log.write(line);
            return false;
        }
        if (woke >= WAIT_OBJECT_0 + running)
            return true;
        const DWORD ended = woke - WAIT_OBJECT_0;
        logEnd(log, roles[ended], waited[ended]);
        --running;
        waited[ended] = waited[running];
        roles[ended] = roles[running];
    }
    return true;
}

DWORD superviseServer(UniqueHandle& server, const RestartPolicy& policy, ServiceLog& log) {
    RestartHistory history(policy.limit);
    for (;;) {
        const HANDLE waited[2] = {stopEvent.get(), server.get()};
        const DWORD woke = WaitForMultipleObjects(2, waited, FALSE, INFINITE);
        if (woke != WAIT_OBJECT_0 + 1) {
            if (woke == WAIT_OBJECT_0) {
                log.write("stop requested");
                runStopCommand(server.get(), log);
            }
            server.reset();
            return 0;
        }
        logEnd(log, kServerRole, server.get());
        server.reset();
        if (!policy.enabled)
            return 0;
        do {
            if (!history.allowsRestart(GetTickCount())) {
                LogLine line = ServiceLog::line();
                line.text("restart limit reached: ")
                    .number(policy.limit)
                    .text(" restarts within 10 minutes; the service stops with service-specific "
                          "error ")
                    .number(kRestartsRanOut);
                log.write(line);
                return kRestartsRanOut;
            }
            LogLine line = ServiceLog::line();
            line.text("restart scheduled in ").number(policy.delay).text(" ms");
            log.write(line);
            const DWORD waitedForStop = WaitForSingleObject(stopEvent.get(), policy.delay);
            if (waitedForStop == WAIT_OBJECT_0)
                log.write("stop requested");
            if (waitedForStop != WAIT_TIMEOUT)
                return 0;
            history.recordRestart(GetTickCount());
        } while (!launchCommand(kStartCmdValue, kStartCommandRole, server, log));
    }
}
