//===- ServiceRuntimeWin32.cpp - Brisnode running as the service ---------===//
#include "ServiceRuntimeWin32.h"
#include "ServiceRuntime.h"

#include "ImagePath.h"
#include "RestartHistory.h"
#include "ServiceConfig.h"
#include "ServiceControl.h"
#include "ServiceIdentity.h"
#include "StopTimeout.h"

#include <cstring>

static_assert(service_state::kStopped == SERVICE_STOPPED, "state numbers of the manager");
static_assert(service_state::kStartPending == SERVICE_START_PENDING,
              "state numbers of the manager");
static_assert(service_state::kStopPending == SERVICE_STOP_PENDING, "state numbers of the manager");
static_assert(service_state::kRunning == SERVICE_RUNNING, "state numbers of the manager");
static_assert(service_state::kControlStop == SERVICE_CONTROL_STOP, "control codes of the manager");
static_assert(service_state::kControlInterrogate == SERVICE_CONTROL_INTERROGATE,
              "control codes of the manager");
static_assert(service_state::kControlShutdown == SERVICE_CONTROL_SHUTDOWN,
              "control codes of the manager");
static_assert(service_state::kAcceptStop == SERVICE_ACCEPT_STOP, "control codes of the manager");
static_assert(service_state::kAcceptShutdown == SERVICE_ACCEPT_SHUTDOWN,
              "control codes of the manager");
// Defined by the headers only for programs that require Windows Vista.
#ifdef SERVICE_CONTROL_PRESHUTDOWN
static_assert(service_state::kControlPreshutdown == SERVICE_CONTROL_PRESHUTDOWN,
              "control codes of the manager");
static_assert(service_state::kAcceptPreshutdown == SERVICE_ACCEPT_PRESHUTDOWN,
              "control codes of the manager");
#endif
static_assert(service_state::kServiceSpecificError == ERROR_SERVICE_SPECIFIC_ERROR,
              "error codes of the manager");
static_assert(service_state::kNoError == NO_ERROR, "error codes of the manager");
static_assert(service_state::kCallNotImplemented == ERROR_CALL_NOT_IMPLEMENTED,
              "error codes of the manager");

namespace {
// Between two reports of stop pending, well within their wait hint.
constexpr DWORD kProgressMilliseconds = 1000;
// How often a tree whose first process has ended is asked whether any runs.
constexpr DWORD kTreePollMilliseconds = 200;

constexpr char kStartCommandRole[] = "start command";
constexpr char kStopCommandRole[] = "stop command";
constexpr char kServerRole[] = "server";
constexpr char kMilliseconds[] = " ms";
constexpr char kOverOneHour[] = "over one hour";

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
    serviceStatus.dwCheckPoint = report.checkPoint;
    serviceStatus.dwWaitHint = report.waitHint;
    SetServiceStatus(statusHandle, &serviceStatus);
}

ReportedServiceState<StatusLock> serviceState(statusLock, reportStatus, nullptr);

// The type the Service Control Manager keeps: without "interactive" once an
// administrator has given the service an account other than LocalSystem,
// which interactive services cannot have.
DWORD registeredServiceType() {
    std::uint32_t type = SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS;
    readOptionalNumber("Type", type);
    return SERVICE_WIN32_OWN_PROCESS | (type & SERVICE_INTERACTIVE_PROCESS);
}

// Windows Vista and later send the preshutdown control, and wait for a
// service that takes it as long as its preshutdown time-out says.
bool preshutdownOffered() {
    OSVERSIONINFOEXA wanted = OSVERSIONINFOEXA();
    wanted.dwOSVersionInfoSize = sizeof wanted;
    wanted.dwMajorVersion = 6;
    return VerifyVersionInfoA(&wanted, VER_MAJORVERSION,
                              VerSetConditionMask(0, VER_MAJORVERSION, VER_GREATER_EQUAL)) != FALSE;
}

// "<role> ended with exit code <code>"; code is 0 when it cannot be read.
LogLine endLine(const char* role, HANDLE process, DWORD& code) {
    LogLine line = ServiceLog::line();
    line.text(role).text(" ended");
    if (GetExitCodeProcess(process, &code))
        line.text(" with exit code ").exitCode(code);
    else
        code = 0;
    return line;
}

// Logs the end and returns the exit code.
DWORD logEnd(ServiceLog& log, const char* role, HANDLE process) {
    DWORD code = 0;
    log.write(endLine(role, process, code));
    return code;
}

void logStopRequest(ServiceLog& log) {
    const std::uint32_t control = serviceState.stopControl();
    if (control == service_state::kControlPreshutdown)
        log.write("stop requested: the system shuts down (preshutdown control)");
    else if (control == service_state::kControlShutdown)
        log.write("stop requested: the system shuts down (shutdown control)");
    else
        log.write("stop requested");
}

// "1 process", "2 processes".
LogLine& processes(LogLine& line, DWORD count) {
    return line.number(count).text(count == 1 ? " process" : " processes");
}

// "2 processes of its tree still run", "1 process still runs".
void stillRunning(LogLine& line, DWORD count, const char* ofWhat) {
    processes(line, count).text(ofWhat).text(count == 1 ? " still runs" : " still run");
}

void logTreeDropped(ServiceLog& log, const char* what, DWORD error) {
    LogLine line = ServiceLog::line();
    ServiceLog::appendError(line.text("ProcessTree: ").text(what), error);
    log.write(line.text(": the server's tree is not watched"));
}

enum class Woken { Stop, ServerEnded, Failed };

// Waits for a stop request or the end of the server, its whole tree when it is
// watched. exitCode is the start command's process's.
Woken waitForStopOrEnd(Server& server, DWORD& exitCode, ServiceLog& log) {
    const HANDLE waited[2] = {stopEvent.get(), server.process.get()};
    const DWORD woke = WaitForMultipleObjects(2, waited, FALSE, INFINITE);
    if (woke == WAIT_OBJECT_0)
        return Woken::Stop;
    if (woke != WAIT_OBJECT_0 + 1)
        return Woken::Failed;
    const DWORD left = server.tree ? server.tree.running() : 0;
    if (left != 0) {
        // A launcher that started the server and ended: the server runs on.
        DWORD code = 0;
        LogLine line = endLine(kStartCommandRole, server.process.get(), code);
        line.text("; ");
        stillRunning(line, left, " of its tree");
        log.write(line);
        // The job tells no waitable handle when its last process ends.
        for (;;) {
            const DWORD polled = WaitForSingleObject(stopEvent.get(), kTreePollMilliseconds);
            if (polled == WAIT_OBJECT_0)
                return Woken::Stop;
            if (polled != WAIT_TIMEOUT)
                return Woken::Failed;
            if (server.tree.running() == 0)
                break;
        }
    }
    exitCode = logEnd(log, kServerRole, server.process.get());
    return Woken::ServerEnded;
}

void endTree(const ProcessTree& tree, ServiceLog& log) {
    DWORD ended = 0;
    DWORD error = 0;
    LogLine line = ServiceLog::line();
    if (tree.endAll(ended, error)) {
        processes(line.text("ended "), ended).text(" of the server's tree");
        const DWORD left = tree.running();
        if (left != 0) {
            line.text("; ");
            stillRunning(line, left, "");
        }
    } else {
        ServiceLog::appendError(line.text("the server's tree could not be ended"), error);
    }
    log.write(line);
}

// Which process the last server was: its id and its creation time, since
// Windows gives the id of an ended process to the next one.
struct ServerRecord {
    DWORD processId;
    FILETIME created;
};

bool recordOf(HANDLE process, ServerRecord& record) {
    FILETIME exited, kernel, user;
    record.processId = GetProcessId(process);
    return GetProcessTimes(process, &record.created, &exited, &kernel, &user) != FALSE;
}

// A stop that left the server running (without ProcessTree) leaves it running
// beside the one this start makes. The key of a service under an account of
// its own cannot be written: nothing is recorded then, and nothing said.
void logServerLeftRunning(ServiceLog& log) {
    ServerRecord last;
    if (!readServiceData(kServerProcessValue, REG_BINARY, &last, sizeof last))
        return;
    const UniqueHandle process(
        OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, last.processId));
    ServerRecord found;
    if (process && recordOf(process.get(), found) &&
        std::memcmp(&found, &last, sizeof found) == 0 &&
        WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT)
        log.write("the server of an earlier run still runs as process ", last.processId, "");
}

// The start command, into the server's tree while it is watched.
bool startServer(Server& server, DWORD& error, ServiceLog& log) {
    if (!launchCommand(kStartCmdValue, kStartCommandRole, server.process, error, log,
                       server.tree ? &server.tree : nullptr))
        return false;
    ServerRecord record;
    if (recordOf(server.process.get(), record))
        writeServiceData(kServerProcessValue, REG_BINARY, &record, sizeof record);
    return true;
}

// After a stop: the server's tree, or the start command's process without one.
bool serverRuns(const Server& server) {
    return server.tree ? server.tree.running() != 0
                       : WaitForSingleObject(server.process.get(), 0) == WAIT_TIMEOUT;
}
} // namespace

bool initialiseRuntime() {
    InitializeCriticalSection(&statusSection);
    stopEvent.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    return static_cast<bool>(stopEvent);
}

std::uint32_t runAsService() {
    // The table wants writable names.
    char serviceName[sizeof kServiceName];
    for (std::size_t i = 0; i < sizeof kServiceName; ++i)
        serviceName[i] = kServiceName[i];
    SERVICE_TABLE_ENTRYA dispatchTable[2] = {{serviceName, serviceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherA(dispatchTable) ? 0 : GetLastError();
}

void WINAPI serviceMain(DWORD, LPSTR*) {
    const DWORD type = registeredServiceType();
    const DWORD accepted = acceptedControls(preshutdownOffered());
    {
        StatusLockGuard guard;
        serviceStatus = SERVICE_STATUS();
        serviceStatus.dwServiceType = type;
        serviceStatus.dwControlsAccepted = accepted;
        serviceStatus.dwCurrentState = SERVICE_START_PENDING;
    }
    serviceState.begin();
    // The extended handler: the preshutdown control is documented for it alone.
    const SERVICE_STATUS_HANDLE registered =
        RegisterServiceCtrlHandlerExA(kServiceName, controlHandler, nullptr);
    if (registered == nullptr)
        return;
    {
        StatusLockGuard guard;
        statusHandle = registered;
    }

    ServiceLog log;
    log.open();
    const RunOptions options = readRunOptions(log);
    // At every start, so that a StopTimeout raised since the installation is
    // covered at the next shutdown too.
    const DWORD refused = coverStopAtShutdown(options.stopTimeout);
    if (refused != 0) {
        LogLine line = ServiceLog::line();
        ServiceLog::appendError(
            line.text("the preshutdown time-out could not be raised to cover a stop"), refused);
        log.write(line);
    }
    logServerLeftRunning(log);
    Server server;
    if (options.processTree) {
        DWORD error = 0;
        if (server.tree.create(error))
            log.write("ProcessTree: the server has ended when the last process of its tree has "
                      "ended; what is left of it after a stop is ended");
        else
            logTreeDropped(log, "no job object", error);
    }
    ExitCodes codes;
    DWORD error = 0;
    if (startServer(server, error, log)) {
        serviceState.markRunning();
        codes = superviseServer(server, options, log);
    } else {
        codes = exitCodesFor(ServiceEnd::StartFailed, error);
    }
    // Before the report: once stopped is out, the process may end at any time.
    log.write("service stopped");
    serviceState.markStopped(codes);
}

DWORD WINAPI controlHandler(DWORD control, DWORD, LPVOID, LPVOID) {
    // After the report, so that stop pending is out before serviceMain can
    // report stopped.
    if (serviceState.control(control))
        SetEvent(stopEvent.get());
    return controlResult(control);
}

namespace {
// "<name> of <requested><unit> is <bound>: <used><unit> used"
void logBounded(ServiceLog& log, const char* name, std::uint32_t requested, const char* unit,
                const char* bound, std::uint32_t used) {
    LogLine line = ServiceLog::line();
    line.text(name).text(" of ").number(requested).text(unit).text(" is ").text(bound).text(": ");
    log.write(line.number(used).text(unit).text(" used"));
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
        logBounded(log, kRestartDelayValue, delay, kMilliseconds, kOverOneHour,
                   kMaxRestartDelayMilliseconds);
        delay = kMaxRestartDelayMilliseconds;
    }
    std::uint32_t limit = kDefaultRestartLimit;
    if (readOptionalNumber(kRestartLimitValue, limit) == OptionalValue::WrongType) {
        log.write("RestartLimit is not a REG_DWORD: ", limit, " used");
    } else if (limit > kMaxRestartLimit) {
        logBounded(log, kRestartLimitValue, limit, "", "over 100", kMaxRestartLimit);
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

DWORD readStopTimeout(ServiceLog& log) {
    std::uint32_t requested = kDefaultStopTimeoutMilliseconds;
    const OptionalValue found = readOptionalNumber(kStopTimeoutValue, requested);
    if (found == OptionalValue::WrongType)
        log.write("StopTimeout is not a REG_DWORD: ", requested, " ms used");
    if (found != OptionalValue::Found)
        return kDefaultStopTimeoutMilliseconds;
    const std::uint32_t timeout = clampStopTimeout(requested);
    if (timeout != requested)
        logBounded(log, kStopTimeoutValue, requested, kMilliseconds,
                   timeout > requested ? "under one second" : kOverOneHour, timeout);
    log.write("a stop waits up to ", timeout, " ms for the stop command and the server to end");
    return timeout;
}

bool readProcessTree(ServiceLog& log) {
    std::uint32_t wanted = 0;
    const OptionalValue found = readOptionalNumber(kProcessTreeValue, wanted);
    if (found == OptionalValue::WrongType)
        log.write("ProcessTree is not a REG_DWORD: the server's tree is not watched");
    if (found != OptionalValue::Found || wanted == 0)
        return false;
    if (wanted != 1) {
        log.write("ProcessTree of ", wanted, " is not 1: the server's tree is not watched");
        return false;
    }
    return true;
}
} // namespace

RunOptions readRunOptions(ServiceLog& log) {
    RunOptions options;
    options.restart = readRestartPolicy(log);
    options.stopTimeout = readStopTimeout(log);
    options.processTree = readProcessTree(log);
    return options;
}

bool launchCommand(const char* valueName, const char* role, UniqueHandle& process, DWORD& error,
                   ServiceLog& log, ProcessTree* tree) {
    char command[kTextSize] = "";
    readServiceValue(valueName, command);
    if (command[0] == '\0') {
        LogLine line = ServiceLog::line();
        line.text("no ").text(role).text(": ").text(valueName).text(
            " is missing, empty or unreadable");
        log.write(line);
        error = 0;
        return false;
    }
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
    // Suspended into a tree, so that it starts nothing before it is in the job.
    const DWORD flags = DETACHED_PROCESS | NORMAL_PRIORITY_CLASS | (tree ? CREATE_SUSPENDED : 0);
    if (!CreateProcessA(nullptr, command, nullptr, nullptr, output ? TRUE : FALSE, flags, nullptr,
                        directory, &startup, &created)) {
        error = GetLastError();
        LogLine line = ServiceLog::line();
        ServiceLog::appendError(line.text(role).text(" could not be started"), error);
        log.write(line.text(": ").text(command));
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
    if (tree) {
        DWORD refused = 0;
        if (!tree->adopt(created.hProcess, refused)) {
            logTreeDropped(log, "the job refused the start command's process", refused);
            tree->drop();
        }
        ResumeThread(thread.get());
    }
    return true;
}

void runStopCommand(Server& server, DWORD stopTimeout, ServiceLog& log) {
    UniqueHandle stopProcess;
    DWORD error = 0;
    const bool watchTree = static_cast<bool>(server.tree);
    bool stopRunning = launchCommand(kStopCmdValue, kStopCommandRole, stopProcess, error, log);
    if (!stopRunning && !watchTree)
        return;
    // Each end is logged as it comes; the wait as a whole lasts at most
    // stopTimeout. The start command's process may have ended long before, in
    // a tree; its handle then wakes the first wait at once.
    bool processRunning = true;
    bool treeRunning = watchTree && server.tree.running() != 0;
    const DWORD started = GetTickCount();
    DWORD reported = started;
    for (;;) {
        const bool serverRunning = watchTree ? treeRunning : processRunning;
        if (!stopRunning && !serverRunning)
            return;
        const DWORD now = GetTickCount();
        if (now - started >= stopTimeout) {
            LogLine line = ServiceLog::line();
            line.text("gave up waiting after ").duration(stopTimeout).text(": the ");
            if (stopRunning && serverRunning)
                line.text(kStopCommandRole).text(" and the ").text(kServerRole).text(" still run");
            else
                line.text(stopRunning ? kStopCommandRole : kServerRole).text(" still runs");
            log.write(line);
            if (watchTree && treeRunning)
                endTree(server.tree, log);
            return;
        }
        if (now - reported >= kProgressMilliseconds) {
            serviceState.progress();
            reported = now;
        }
        DWORD timeout = stopTimeout - (now - started);
        if (timeout > kProgressMilliseconds - (now - reported))
            timeout = kProgressMilliseconds - (now - reported);
        if (treeRunning && !processRunning && timeout > kTreePollMilliseconds)
            timeout = kTreePollMilliseconds;

        HANDLE waited[2];
        DWORD count = 0;
        if (stopRunning)
            waited[count++] = stopProcess.get();
        if (processRunning)
            waited[count++] = server.process.get();
        DWORD woke = WAIT_TIMEOUT;
        if (count != 0)
            woke = WaitForMultipleObjects(count, waited, FALSE, timeout);
        else
            Sleep(timeout);
        if (woke != WAIT_TIMEOUT) {
            if (woke >= WAIT_OBJECT_0 + count)
                return;
            const HANDLE ended = waited[woke - WAIT_OBJECT_0];
            if (ended == stopProcess.get()) {
                logEnd(log, kStopCommandRole, ended);
                stopRunning = false;
            } else {
                processRunning = false;
                if (!watchTree)
                    logEnd(log, kServerRole, ended);
            }
        }
        if (treeRunning && !processRunning && server.tree.running() == 0) {
            treeRunning = false;
            logEnd(log, kServerRole, server.process.get());
        }
    }
}

ExitCodes superviseServer(Server& server, const RunOptions& options, ServiceLog& log) {
    const RestartPolicy& policy = options.restart;
    RestartHistory history(policy.limit);
    for (;;) {
        DWORD exitCode = 0;
        const Woken woke = waitForStopOrEnd(server, exitCode, log);
        if (woke != Woken::ServerEnded) {
            ExitCodes codes;
            if (woke == Woken::Stop) {
                logStopRequest(log);
                runStopCommand(server, options.stopTimeout, log);
                if (serverRuns(server)) {
                    log.write("the server still runs: the service stops with service-specific "
                              "error ",
                              service_state::kServerOutlivedStop, "");
                    codes = exitCodesFor(ServiceEnd::ServerOutlivedStop, 0);
                }
            }
            server.process.reset();
            return codes;
        }
        server.process.reset();
        if (!policy.enabled)
            return exitCodesFor(ServiceEnd::ServerEnded, exitCode);
        DWORD error = 0;
        do {
            if (!history.allowsRestart(GetTickCount())) {
                LogLine line = ServiceLog::line();
                line.text("restart limit reached: ")
                    .number(policy.limit)
                    .text(" restarts within 10 minutes; the service stops with service-specific "
                          "error ")
                    .number(service_state::kRestartsRanOut);
                log.write(line);
                return exitCodesFor(ServiceEnd::RestartsRanOut, 0);
            }
            log.write("restart scheduled in ", policy.delay, " ms");
            const DWORD waitedForStop = WaitForSingleObject(stopEvent.get(), policy.delay);
            if (waitedForStop == WAIT_OBJECT_0)
                logStopRequest(log);
            if (waitedForStop != WAIT_TIMEOUT)
                return ExitCodes();
            history.recordRestart(GetTickCount());
        } while (!startServer(server, error, log));
    }
}
