//===- ServiceAppWin32.cpp - Running the chosen operation ----------------===//
#include "ServiceApp.h"

#include "ServiceControl.h"
#include "ServiceRuntime.h"

bool ServiceApp::run() {
    switch (command_) {
    case ServiceCommand::Install:
        return installService();
    case ServiceCommand::Uninstall:
        return uninstallService();
    case ServiceCommand::Start:
        return startInstalledService();
    case ServiceCommand::Stop:
        return stopInstalledService();
    case ServiceCommand::Run:
        return runAsService();
    case ServiceCommand::None:
        break;
    }
    return false;
}
