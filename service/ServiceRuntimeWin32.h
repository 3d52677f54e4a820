//===- ServiceRuntimeWin32.h - The service's thread and handler ----------===//
#pragma once

#include "ProcessTreeWin32.h"
#include "ServiceLogWin32.h"
#include "ServiceState.h"

#include "win32/ScopedHandle.h"

#include <cstdint>

void WINAPI serviceMain(DWORD argumentCount, LPSTR* arguments);
DWORD WINAPI controlHandler(DWORD control, DWORD eventType, LPVOID eventData, LPVOID context);

// Opt-in with "RestartDelay": a server that ends by itself while the service
// runs is started again after the delay, at most limit times in ten minutes.
struct RestartPolicy {
    bool enabled = false;
    DWORD delay = 0;
    std::uint32_t limit = 0;
};

// What the optional values of the service's key ask for, read at every start.
struct RunOptions {
    RestartPolicy restart;
    DWORD stopTimeout = 0;
    bool processTree = false;
};

// Reads the values and logs what it made of them.
RunOptions readRunOptions(ServiceLog& log);

// The server as the service watches it: the start command's process, and with
// "ProcessTree" every process of its tree.
struct Server {
    UniqueHandle process;
    ProcessTree tree;
};

// Starts the command stored in valueName in the image directory, detached,
// with the log as its standard output and error when there is one. On success
// process owns the new process; on failure error holds the Windows error, or
// 0 when there was no command. With a tree, the process runs in its job from
// its first instruction on; a process that the job refuses runs outside it,
// and the tree is dropped. role names the command in the log.
bool launchCommand(const char* valueName, const char* role, UniqueHandle& process, DWORD& error,
                   ServiceLog& log, ProcessTree* tree = nullptr);

// Runs the stop command and waits up to stopTimeout for it and the server to
// end, reporting the progress; then ends what is left of the server's tree.
// When the stop command does not start, only a watched tree is waited for.
void runStopCommand(Server& server, DWORD stopTimeout, ServiceLog& log);

// Waits for a stop control or for the server to end by itself, and starts it
// again as the options say. The server's process handle is closed on return.
// Returns what the stopped report tells the Service Control Manager.
ExitCodes superviseServer(Server& server, const RunOptions& options, ServiceLog& log);
