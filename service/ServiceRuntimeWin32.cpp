//===- ServiceRuntimeWin32.cpp - Brisnode running as the service ---------===//
#include "ServiceRuntimeWin32.h"
#include "ServiceRuntime.h"

#include "ImagePath.h"
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

    UniqueHandle server;
    if (launchCommand(kStartCmdValue, server)) {
        serviceState.markRunning();
        const HANDLE waited[2] = {stopEvent.get(), server.get()};
        if (WaitForMultipleObjects(2, waited, FALSE, INFINITE) == WAIT_OBJECT_0)
            runStopCommand(server.get());
        server.reset();
    }
    serviceState.markStopped();
}

void WINAPI controlHandler(DWORD control) {
    // After the report, so that stop pending is out before serviceMain can
    // report stopped.
    if (serviceState.control(control))
        SetEvent(stopEvent.get());
}

bool launchCommand(const char* valueName, UniqueHandle& process) {
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
    PROCESS_INFORMATION created = PROCESS_INFORMATION();
    // Detached: a console program started by the service gets no console.
    if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE,
                        DETACHED_PROCESS | NORMAL_PRIORITY_CLASS, nullptr, directory, &startup,
                        &created))
        return false;
    UniqueHandle thread(created.hThread);
    process.reset(created.hProcess);
    return true;
}

bool runStopCommand(HANDLE serverProcess) {
    UniqueHandle stopProcess;
    if (!launchCommand(kStopCmdValue, stopProcess))
        return false;
    const HANDLE waited[2] = {stopProcess.get(), serverProcess};
    return WaitForMultipleObjects(2, waited, TRUE, kStopWaitMilliseconds) != WAIT_TIMEOUT;
}
