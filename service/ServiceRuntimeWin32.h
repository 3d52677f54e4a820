//===- ServiceRuntimeWin32.h - The service's thread and handler ----------===//
#pragma once

#include "win32/ScopedHandle.h"

void WINAPI serviceMain(DWORD argumentCount, LPSTR* arguments);
void WINAPI controlHandler(DWORD control);

// Starts the command stored in valueName in the image directory, detached. On
// success process owns the new process.
bool launchCommand(const char* valueName, UniqueHandle& process);

// Runs the stop command and waits up to 10 s for it and the server to end.
// False when the stop command did not start or the wait ran out.
bool runStopCommand(HANDLE serverProcess);
