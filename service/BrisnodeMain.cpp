//===- BrisnodeMain.cpp - Program entry of Brisnode ----------------------===//
//
// A GUI-subsystem program that never opens a window: as a control tool it
// runs one operation and ends with its exit code, as the service it lives in
// the dispatcher.
//
//===----------------------------------------------------------------------===//
#include "CommandTail.h"
#include "ServiceApp.h"
#include "ServiceRuntime.h"

#include "win32/WindowsApi.h"

namespace {
ServiceApp theServiceApp;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (!initialiseRuntime())
        return static_cast<int>(GetLastError());
    // The whole command line rather than WinMain's tail, so that the program
    // name is skipped by the same rules whichever runtime starts the program.
    theServiceApp.selectCommand(commandTail(GetCommandLineA()));
    return static_cast<int>(theServiceApp.run());
}
