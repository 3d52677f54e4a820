//===- TestProgram.h - What the test programs share -----------------------===//
//
// The pieces that the driver (winctl), the benchmark timer and the stand-ins
// each need: the program's own path, a command line quoted as the C runtime
// splits it, a started program whose handles close themselves, the top-level
// windows, and a watch on a service's state.
//
//===----------------------------------------------------------------------===//
#pragma once

#include "ScopedHandle.h"
#include "WindowsApi.h"

#include <functional>
#include <string>
#include <vector>

std::string ownPath();

// One argument as the C runtime's parser gives it back whole: quoted when it
// holds a blank, a tab or a quote, backslashes doubled only before a quote.
std::string quoteArgument(const std::string& argument);
std::string commandLine(const std::vector<std::string>& arguments);

struct StartedProgram {
    UniqueHandle process;
    UniqueHandle thread;
    DWORD id = 0;
};

// CreateProcessA of commandLine with flags; with inheritStandardHandles the
// program gets this one's standard handles. False with GetLastError as it was.
bool startProgram(const std::string& commandLine, bool inheritStandardHandles, DWORD flags,
                  StartedProgram& started);

// The top-level windows from the front to the back; the hidden ones only when asked.
std::vector<HWND> topLevelWindows(bool includeHidden);

// The window manager's copy of a window's text. For a window of another process
// GetWindowTextA sends no message, so it also works while that thread is busy,
// but an edit control's typed text is not in that copy.
std::string windowText(HWND window);

// Polls the service's state about every 10 ms until it is stopped or timeoutMs
// have passed since the tick count since, calling changed(elapsed ms, status)
// at every change of state or checkpoint. Returns the last state, or 0 when
// the state could not be read.
DWORD watchService(SC_HANDLE service, DWORD since, DWORD timeoutMs,
                   const std::function<void(DWORD, const SERVICE_STATUS&)>& changed);
