//===- BrisnodeMain.cpp - Program entry of Brisnode ----------------------===//
//
// A GUI-subsystem program that never opens a window: as a control tool it
// runs one operation and ends, as the service it lives in the dispatcher. The
// exit code is 0 in every mode; the operation's result is not shown anywhere.
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
        return 0;
    // The whole command line rather than WinMain's tail, so that the program
    // name is skipped by the same rules whichever runtime starts the program.
    theServiceApp.selectCommand(commandTail(GetCommandLineA()));
    theServiceApp.run();
    return 0;
}
