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

// The recovery actions that an administrator configures are otherwise applied
// only when the process crashes, not when the service reports stopped with an
// exit code that says it failed. Without configured actions this changes
// nothing.
void recoverFromReportedFailures(SC_HANDLE service) {
    FailureActionsFlag flag = {TRUE};
    ChangeServiceConfig2A(service, kFailureActionsFlagLevel, &flag);
}

// At a shutdown the system waits for the service no longer than its
// preshutdown time-out: raise it to cover a whole stop, with the StopTimeout
// that is set now.
void coverStopAtShutdown(SC_HANDLE service) {
    PreshutdownInfo info = {0};
    DWORD needed = 0;
    if (!QueryServiceConfig2A(service, kPreshutdownInfoLevel, reinterpret_cast<BYTE*>(&info),
                              sizeof info, &needed))
        return;
    std::uint32_t stopTimeout = kDefaultStopTimeoutMilliseconds;
    readOptionalNumber(kStopTimeoutValue, stopTimeout);
    const DWORD wanted = preshutdownTimeoutFor(stopTimeout, info.timeout);
    if (wanted == info.timeout)
        return;
    info.timeout = wanted;
    ChangeServiceConfig2A(service, kPreshutdownInfoLevel, &info);
}

bool openService(OpenedService& opened) {
    opened.manager.reset(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!opened.manager)
        return false;
    opened.service.reset(OpenServiceA(opened.manager.get(), kServiceName, SERVICE_ALL_ACCESS));
    return static_cast<bool>(opened.service);
}
} // namespace

bool installService() {
    char modulePath[kTextSize] = "";
    // Windows XP leaves a path that fills the buffer without its NUL.
    GetModuleFileNameA(nullptr, modulePath, sizeof modulePath);
    modulePath[sizeof modulePath - 1] = '\0';

    UniqueServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager)
        return false;
    char registeredPath[kRegistrationPathSize];
    registrationPath(modulePath, registeredPath, sizeof registeredPath);
    UniqueServiceHandle service(
        CreateServiceA(manager.get(), kServiceName, kServiceDisplayName, SERVICE_ALL_ACCESS,
                       SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS, SERVICE_AUTO_START,
                       SERVICE_ERROR_NORMAL, registeredPath, nullptr, nullptr, kServiceDependencies,
                       nullptr, nullptr));
    if (!service)
        return false;

    char imageDirectory[kTextSize];
    const std::size_t directoryLength = imageDirectoryLength(modulePath, processCodePageLeadByte);
    std::memcpy(imageDirectory, modulePath, directoryLength);
    imageDirectory[directoryLength] = '\0';
    storeConfiguration(imageDirectory);
    coverStopAtShutdown(service.get());
    recoverFromReportedFailures(service.get());

    StartServiceA(service.get(), 0, nullptr);
    return true;
}

bool startInstalledService() {
    OpenedService opened;
    if (!openService(opened))
        return false;
    // The error is read before the handles close, which may change it.
    return StartServiceA(opened.service.get(), 0, nullptr) ||
           GetLastError() == ERROR_SERVICE_ALREADY_RUNNING;
}

bool stopInstalledService() {
    OpenedService opened;
    if (!openService(opened))
        return false;
    std::uint32_t stopTimeout = kDefaultStopTimeoutMilliseconds;
    readOptionalNumber(kStopTimeoutValue, stopTimeout);
    const std::uint32_t polls = stopPollsFor(stopTimeout);
    SERVICE_STATUS status = SERVICE_STATUS();
    if (ControlService(opened.service.get(), SERVICE_CONTROL_STOP, &status)) {
        for (std::uint32_t poll = 0; poll < polls; ++poll) {
            if (!QueryServiceStatus(opened.service.get(), &status) ||
                status.dwCurrentState == SERVICE_STOPPED)
                break;
            Sleep(kStopPollMilliseconds);
        }
    }
    return true;
}

bool uninstallService() {
    stopInstalledService();
    OpenedService opened;
    if (!openService(opened))
        return false;
    return DeleteService(opened.service.get()) != FALSE;
}
