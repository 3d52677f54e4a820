//===- ServiceControlWin32.cpp - Installing and controlling the service --===//
#include "ServiceControl.h"

#include "ImagePath.h"
#include "LeadByte.h"
#include "ServiceConfig.h"
#include "ServiceIdentity.h"

#include "win32/ScopedHandle.h"

#include <cstring>

namespace {
constexpr int kStopPolls = 30;
constexpr DWORD kStopPollMilliseconds = 1000;

bool openService(UniqueServiceHandle& manager, UniqueServiceHandle& service) {
    manager.reset(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager)
        return false;
    service.reset(OpenServiceA(manager.get(), kServiceName, SERVICE_ALL_ACCESS));
    return static_cast<bool>(service);
}

// The service handle goes before the manager handle.
void closeService(UniqueServiceHandle& manager, UniqueServiceHandle& service) {
    service.reset();
    manager.reset();
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
    const std::size_t directoryLength = imageDirectoryLength(modulePath, systemLeadByte);
    std::memcpy(imageDirectory, modulePath, directoryLength);
    imageDirectory[directoryLength] = '\0';
    storeConfiguration(imageDirectory);

    StartServiceA(service.get(), 0, nullptr);
    closeService(manager, service);
    return true;
}

bool startInstalledService() {
    UniqueServiceHandle manager;
    UniqueServiceHandle service;
    if (!openService(manager, service)) {
        closeService(manager, service);
        return false;
    }
    const bool started =
        StartServiceA(service.get(), 0, nullptr) || GetLastError() == ERROR_SERVICE_ALREADY_RUNNING;
    closeService(manager, service);
    return started;
}

bool stopInstalledService() {
    UniqueServiceHandle manager;
    UniqueServiceHandle service;
    if (!openService(manager, service)) {
        closeService(manager, service);
        return false;
    }
    SERVICE_STATUS status = SERVICE_STATUS();
    if (ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
        for (int poll = 0; poll < kStopPolls; ++poll) {
            if (!QueryServiceStatus(service.get(), &status) ||
                status.dwCurrentState == SERVICE_STOPPED)
                break;
            Sleep(kStopPollMilliseconds);
        }
    }
    closeService(manager, service);
    return true;
}

bool uninstallService() {
    stopInstalledService();
    UniqueServiceHandle manager;
    UniqueServiceHandle service;
    if (!openService(manager, service)) {
        closeService(manager, service);
        return false;
    }
    const bool deleted = DeleteService(service.get()) != FALSE;
    closeService(manager, service);
    return deleted;
}
