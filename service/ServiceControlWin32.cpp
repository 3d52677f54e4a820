//===- ServiceControlWin32.cpp - Installing and controlling the service --===//
#include "ServiceControl.h"

#include "ImagePath.h"
#include "LeadByte.h"
#include "ServiceConfig.h"
#include "ServiceIdentity.h"
#include "StopTimeout.h"

#include "win32/ScopedHandle.h"

#include <cstring>

namespace {
// Members are destroyed in reverse order: the service handle goes before the
// manager handle, on every path.
struct OpenedService {
    UniqueServiceHandle manager;
    UniqueServiceHandle service;
};

// SERVICE_PRESHUTDOWN_INFO and SERVICE_FAILURE_ACTIONS_FLAG, which the
// headers declare only for programs that require Windows Vista. Earlier
// systems refuse the levels.
constexpr DWORD kFailureActionsFlagLevel = 4;
constexpr DWORD kPreshutdownInfoLevel = 7;
struct FailureActionsFlag {
    BOOL onNonCrashFailures;
};
struct PreshutdownInfo {
    DWORD timeout;
};
#ifdef SERVICE_CONFIG_PRESHUTDOWN_INFO
static_assert(kFailureActionsFlagLevel == SERVICE_CONFIG_FAILURE_ACTIONS_FLAG,
              "level of the manager");
static_assert(kPreshutdownInfoLevel == SERVICE_CONFIG_PRESHUTDOWN_INFO, "level of the manager");
#endif

ControlResult done(Outcome outcome, bool noStartCommand = false) {
    return ControlResult{outcome, 0, noStartCommand};
}

// The error is read at once: closing handles may change it.
ControlResult failed(Outcome outcome) {
    return ControlResult{outcome, GetLastError(), false};
}

// The recovery actions that an administrator configures are otherwise applied
// only when the process crashes, not when the service reports stopped with an
// exit code that says it failed. Without configured actions this changes
// nothing.
void recoverFromReportedFailures(SC_HANDLE service) {
    FailureActionsFlag flag = {TRUE};
    ChangeServiceConfig2A(service, kFailureActionsFlagLevel, &flag);
}

DWORD raisePreshutdownTimeout(SC_HANDLE service, std::uint32_t stopTimeout) {
    PreshutdownInfo info = {0};
    DWORD needed = 0;
    if (!QueryServiceConfig2A(service, kPreshutdownInfoLevel, reinterpret_cast<BYTE*>(&info),
                              sizeof info, &needed))
        return GetLastError();
    const DWORD wanted = preshutdownTimeoutFor(stopTimeout, info.timeout);
    if (wanted == info.timeout)
        return 0;
    info.timeout = wanted;
    return ChangeServiceConfig2A(service, kPreshutdownInfoLevel, &info) ? 0 : GetLastError();
}

// The StopTimeout that the service will read at its next stop. The control
// operations keep the preshutdown time-out in step with it, should it have
// changed since the service last started (Windows before Vista have none).
std::uint32_t configuredStopTimeout() {
    std::uint32_t stopTimeout = kDefaultStopTimeoutMilliseconds;
    readOptionalNumber(kStopTimeoutValue, stopTimeout);
    return stopTimeout;
}

// On failure, result names the step that failed.
bool openService(OpenedService& opened, ControlResult& result,
                 DWORD managerAccess = SC_MANAGER_ALL_ACCESS,
                 DWORD serviceAccess = SERVICE_ALL_ACCESS) {
    opened.manager.reset(OpenSCManagerA(nullptr, nullptr, managerAccess));
    if (!opened.manager) {
        result = failed(Outcome::ManagerNotOpened);
        return false;
    }
    opened.service.reset(OpenServiceA(opened.manager.get(), kServiceName, serviceAccess));
    if (!opened.service) {
        result = failed(Outcome::ServiceNotOpened);
        return false;
    }
    return true;
}

// Asks once a second, at most polls times after the first, until the state
// is state (equal) or has left it (not equal). 0, the query's error, or
// ERROR_SERVICE_REQUEST_TIMEOUT when the polls ran out.
DWORD waitForState(SC_HANDLE service, SERVICE_STATUS& status, DWORD state, bool equal,
                   std::uint32_t polls) {
    for (std::uint32_t poll = 0;; ++poll) {
        if (!QueryServiceStatus(service, &status))
            return GetLastError();
        if ((status.dwCurrentState == state) == equal)
            return 0;
        if (poll == polls)
            return ERROR_SERVICE_REQUEST_TIMEOUT;
        Sleep(kStopPollMilliseconds);
    }
}

// Starts the service and waits until it is no longer start pending, so that a
// service that stopped as it started (no start command, or one that cannot be
// started) gives its own exit code, as "sc query" would show it.
ControlResult startService(SC_HANDLE service, Outcome started, Outcome runningAlready) {
    DWORD error = 0;
    if (!StartServiceA(service, 0, nullptr)) {
        error = GetLastError();
        if (error == ERROR_SERVICE_ALREADY_RUNNING)
            return done(runningAlready);
        // Wine refuses with this error a start after which the service
        // stopped at once; Windows reports it started.
        if (error != ERROR_SERVICE_REQUEST_TIMEOUT)
            return ControlResult{Outcome::NotStarted, error, false};
    }
    SERVICE_STATUS status = SERVICE_STATUS();
    const DWORD waited = waitForState(service, status, SERVICE_START_PENDING, false, kMinStopPolls);
    if (waited != 0)
        return ControlResult{Outcome::NotStarted, waited, false};
    if (status.dwCurrentState == SERVICE_STOPPED && status.dwWin32ExitCode != 0)
        error = status.dwWin32ExitCode;
    return error != 0 ? ControlResult{Outcome::StoppedAtStart, error, false} : done(started);
}

ControlResult stopService(SC_HANDLE service) {
    const std::uint32_t stopTimeout = configuredStopTimeout();
    raisePreshutdownTimeout(service, stopTimeout);
    SERVICE_STATUS status = SERVICE_STATUS();
    if (!ControlService(service, SERVICE_CONTROL_STOP, &status)) {
        const DWORD error = GetLastError();
        if (error == ERROR_SERVICE_NOT_ACTIVE)
            return done(Outcome::NotRunning);
        // A stop already under way (sc stop, the service's own) is waited for
        // as one asked for here: /uninstall would otherwise only mark the
        // service for deletion, and the next /install could not create it.
        if (error != ERROR_SERVICE_CANNOT_ACCEPT_CTRL || !QueryServiceStatus(service, &status) ||
            status.dwCurrentState != SERVICE_STOP_PENDING)
            return ControlResult{Outcome::NotStopped, error, false};
    }
    const DWORD waited =
        waitForState(service, status, SERVICE_STOPPED, true, stopPollsFor(stopTimeout));
    if (waited == ERROR_SERVICE_REQUEST_TIMEOUT)
        return ControlResult{Outcome::StopTimedOut, waited, false};
    return waited != 0 ? ControlResult{Outcome::NotStopped, waited, false} : done(Outcome::Stopped);
}
} // namespace

ControlResult installService() {
    char modulePath[kTextSize] = "";
    // Windows XP leaves a path that fills the buffer without its NUL.
    GetModuleFileNameA(nullptr, modulePath, sizeof modulePath);
    modulePath[sizeof modulePath - 1] = '\0';
    char registeredPath[kRegistrationPathSize];
    registrationPath(modulePath, registeredPath, sizeof registeredPath);

    OpenedService opened;
    opened.manager.reset(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!opened.manager)
        return failed(Outcome::ManagerNotOpened);
    opened.service.reset(CreateServiceA(opened.manager.get(), kServiceName, kServiceDisplayName,
                                        SERVICE_ALL_ACCESS,
                                        SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS,
                                        SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, registeredPath,
                                        nullptr, nullptr, kServiceDependencies, nullptr, nullptr));
    const bool installedAlready = !opened.service;
    if (installedAlready) {
        if (GetLastError() != ERROR_SERVICE_EXISTS)
            return failed(Outcome::NotCreated);
        opened.service.reset(OpenServiceA(opened.manager.get(), kServiceName, SERVICE_ALL_ACCESS));
        if (!opened.service)
            return failed(Outcome::ServiceNotOpened);
        // The copy that runs /install becomes the one the service runs, with
        // its folder's batch files: an installation that moved is followed.
        // Everything else that an administrator changed stays.
        if (!ChangeServiceConfigA(opened.service.get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                  SERVICE_NO_CHANGE, registeredPath, nullptr, nullptr, nullptr,
                                  nullptr, nullptr, nullptr))
            return failed(Outcome::NotConfigured);
    }
    const SC_HANDLE service = opened.service.get();

    char imageDirectory[kTextSize];
    const std::size_t directoryLength = imageDirectoryLength(modulePath, processCodePageLeadByte);
    std::memcpy(imageDirectory, modulePath, directoryLength);
    imageDirectory[directoryLength] = '\0';
    bool startCommandFound = false;
    const DWORD stored = storeConfiguration(imageDirectory, startCommandFound);
    if (stored != 0)
        return ControlResult{Outcome::NotConfigured, stored, !startCommandFound};
    raisePreshutdownTimeout(service, configuredStopTimeout());
    recoverFromReportedFailures(service);

    ControlResult result = startService(
        service, installedAlready ? Outcome::InstalledAgainAndStarted : Outcome::Installed,
        Outcome::InstalledAgainRunning);
    result.noStartCommand = !startCommandFound;
    return result;
}

ControlResult startInstalledService() {
    OpenedService opened;
    ControlResult result = {};
    if (!openService(opened, result))
        return result;
    raisePreshutdownTimeout(opened.service.get(), configuredStopTimeout());
    return startService(opened.service.get(), Outcome::Started, Outcome::RunningAlready);
}

ControlResult stopInstalledService() {
    OpenedService opened;
    ControlResult result = {};
    if (!openService(opened, result))
        return result;
    return stopService(opened.service.get());
}

ControlResult uninstallService() {
    OpenedService opened;
    ControlResult result = {};
    if (!openService(opened, result))
        return result;
    const ControlResult stopped = stopService(opened.service.get());
    // A service that did not stop is deleted all the same: the system removes
    // it once it has stopped, and the stop's failure is the exit code.
    if (!DeleteService(opened.service.get()))
        return failed(Outcome::NotRemoved);
    return stopped.error != 0 ? stopped : done(Outcome::Removed);
}

std::uint32_t coverStopAtShutdown(std::uint32_t stopTimeout) {
    OpenedService opened;
    ControlResult result = {};
    if (!openService(opened, result, SC_MANAGER_CONNECT,
                     SERVICE_QUERY_CONFIG | SERVICE_CHANGE_CONFIG))
        return result.error;
    return raisePreshutdownTimeout(opened.service.get(), stopTimeout);
}
