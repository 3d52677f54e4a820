//===- ServiceRuntimeWin32.h - The service's thread and handler ----------===//
#pragma once

#include "ServiceLogWin32.h"

#include "win32/ScopedHandle.h"

#include <cstdint>

void WINAPI serviceMain(DWORD argumentCount, LPSTR* arguments);
void WINAPI controlHandler(DWORD control);

// Opt-in with "RestartDelay": a server that ends by itself while the service
// runs is started again after the delay, at most limit times in ten minutes.
struct RestartPolicy {
    bool enabled = false;
    DWORD delay = 0;
    std::uint32_t limit = 0;
};

// Reads "RestartDelay" and "RestartLimit"; logs what it made of them.
RestartPolicy readRestartPolicy(ServiceLog& log);

// Starts the command stored in valueName in the image directory, detached,
// with the log as its standard output and error when there is one. On success
// process owns the new process. role names the command in the log.
bool launchCommand(const char* valueName, const char* role, UniqueHandle& process, ServiceLog& log);

// Runs the stop command and waits up to 10 s for it and the server to end.
// False when the stop command did not start or the wait ran out.
bool runStopCommand(HANDLE serverProcess, ServiceLog& log);

// Waits for a stop control or for the server to end by itself, and starts it
// again as the policy says. The server's handle is closed on return. Returns
// the service-specific exit code for the stopped report: 0, or 1 when the
// restarts ran out.
DWORD superviseServer(UniqueHandle& server, const RestartPolicy& policy, ServiceLog& log);
