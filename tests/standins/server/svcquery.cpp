// svcquery: what the end-to-end tests ask the Service Control Manager about
// the service "Brisnode", from inside the test's prefix.
//
//   svcquery status                   "state <n>"; exit code 3 when there is no such service
//   svcquery config                   the registration, one "field value" line each
//   svcquery control <code>           "accepted <state>" or "refused <error>"
//   svcquery watch <ms> [<code>]      sends the control first when given, then
//                                     prints "<elapsed ms> <state> <checkpoint> <wait hint>"
//                                     at every change of state or checkpoint, until
//                                     stopped or <ms> have passed
//   svcquery setraw <value> <text>    stores text in the service's key as a
//                                     REG_SZ without its terminating NUL
//   svcquery preshutdown <ms>         sets the service's preshutdown time-out, as
//                                     Windows 10 from 1703 on sets it (10000)
#include "TestProgram.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kNoService = 3;
constexpr int kFailed = 2;

bool openService(UniqueServiceHandle& manager, UniqueServiceHandle& service) {
    manager.reset(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        std::printf("manager-error %lu\n", GetLastError());
        return false;
    }
    service.reset(OpenServiceA(manager.get(), "Brisnode", SERVICE_ALL_ACCESS));
    if (!service) {
        std::printf("missing %lu\n", GetLastError());
        return false;
    }
    return true;
}

int status() {
    UniqueServiceHandle manager, service;
    if (!openService(manager, service))
        return kNoService;
    SERVICE_STATUS record = SERVICE_STATUS();
    if (!QueryServiceStatus(service.get(), &record)) {
        std::printf("query-error %lu\n", GetLastError());
        return kFailed;
    }
    std::printf("state %lu\n", record.dwCurrentState);
    std::printf("type 0x%lx\n", record.dwServiceType);
    std::printf("accepted 0x%lx\n", record.dwControlsAccepted);
    std::printf("exitcode %lu\n", record.dwWin32ExitCode);
    std::printf("specific %lu\n", record.dwServiceSpecificExitCode);
    return 0;
}

int config() {
    UniqueServiceHandle manager, service;
    if (!openService(manager, service))
        return kNoService;
    DWORD needed = 0;
    QueryServiceConfigA(service.get(), nullptr, 0, &needed);
    void* buffer = std::calloc(1, needed + 16);
    QUERY_SERVICE_CONFIGA* config = static_cast<QUERY_SERVICE_CONFIGA*>(buffer);
    if (!QueryServiceConfigA(service.get(), config, needed + 16, &needed)) {
        std::printf("query-error %lu\n", GetLastError());
        std::free(buffer);
        return kFailed;
    }
    std::printf("type 0x%lx\n", config->dwServiceType);
    std::printf("start %lu\n", config->dwStartType);
    std::printf("error %lu\n", config->dwErrorControl);
    std::printf("path %s\n", config->lpBinaryPathName ? config->lpBinaryPathName : "");
    std::printf("group %s\n", config->lpLoadOrderGroup ? config->lpLoadOrderGroup : "");
    std::printf("dependency %s\n", config->lpDependencies ? config->lpDependencies : "");
    std::printf("account %s\n", config->lpServiceStartName ? config->lpServiceStartName : "");
    std::printf("display %s\n", config->lpDisplayName ? config->lpDisplayName : "");
    std::free(buffer);
    DWORD preshutdown[4] = {};
    if (QueryServiceConfig2A(service.get(), 7, reinterpret_cast<BYTE*>(preshutdown),
                             sizeof preshutdown, &needed))
        std::printf("preshutdown %lu\n", preshutdown[0]);
    return 0;
}

void sendControl(SC_HANDLE service, DWORD code) {
    SERVICE_STATUS record = SERVICE_STATUS();
    if (ControlService(service, code, &record))
        std::printf("accepted %lu\n", record.dwCurrentState);
    else
        std::printf("refused %lu\n", GetLastError());
}

int control(DWORD code) {
    UniqueServiceHandle manager, service;
    if (!openService(manager, service))
        return kNoService;
    sendControl(service.get(), code);
    return 0;
}

int watch(DWORD milliseconds, bool withControl, DWORD code) {
    UniqueServiceHandle manager, service;
    if (!openService(manager, service))
        return kNoService;
    const DWORD started = GetTickCount();
    if (withControl)
        sendControl(service.get(), code);
    const DWORD last = watchService(
        service.get(), started, milliseconds, [](DWORD elapsed, const SERVICE_STATUS& status) {
            std::printf("%lu %lu %lu %lu\n", elapsed, status.dwCurrentState, status.dwCheckPoint,
                        status.dwWaitHint);
            std::fflush(stdout);
        });
    if (last == 0) {
        std::printf("%lu query-error %lu\n", GetTickCount() - started, GetLastError());
        return kFailed;
    }
    return 0;
}

int setRaw(const char* value, const char* text) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\Brisnode", 0,
                      KEY_ALL_ACCESS, &opened) != ERROR_SUCCESS)
        return kNoService;
    UniqueRegistryKey key(opened);
    const LONG result =
        RegSetValueExA(key.get(), value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                       static_cast<DWORD>(std::strlen(text)));
    return result == ERROR_SUCCESS ? 0 : kFailed;
}

int setPreshutdown(DWORD milliseconds) {
    UniqueServiceHandle manager, service;
    if (!openService(manager, service))
        return kNoService;
    DWORD timeout = milliseconds;
    if (!ChangeServiceConfig2A(service.get(), 7, &timeout)) {
        std::printf("change-error %lu\n", GetLastError());
        return kFailed;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "status") == 0)
        return status();
    if (argc >= 2 && std::strcmp(argv[1], "config") == 0)
        return config();
    if (argc >= 3 && std::strcmp(argv[1], "control") == 0)
        return control(std::strtoul(argv[2], nullptr, 10));
    if (argc >= 3 && std::strcmp(argv[1], "watch") == 0)
        return watch(std::strtoul(argv[2], nullptr, 10), argc >= 4,
                     argc >= 4 ? std::strtoul(argv[3], nullptr, 10) : 0);
    if (argc >= 4 && std::strcmp(argv[1], "setraw") == 0)
        return setRaw(argv[2], argv[3]);
    if (argc >= 3 && std::strcmp(argv[1], "preshutdown") == 0)
        return setPreshutdown(std::strtoul(argv[2], nullptr, 10));
    std::fprintf(stderr, "usage: svcquery status|config|control <code>|watch <ms> [<code>]|"
                         "setraw <value> <text>|preshutdown <ms>\n");
    return 64;
}
