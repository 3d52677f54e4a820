//===- ServiceAppWin32.cpp - Running the chosen operation ----------------===//
#include "ServiceApp.h"

#include "ServiceControl.h"
#include "ServiceLogWin32.h"
#include "ServiceRuntime.h"

namespace {
// A GUI-subsystem program has a standard error only when whoever started it
// handed one over, as a script that redirects it does; the Service Control
// Manager hands none. Without one nothing is written, as always.
void sayOnStandardError(const LogLine& line) {
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    DWORD written = 0;
    if (error != nullptr && error != INVALID_HANDLE_VALUE)
        WriteFile(error, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}
} // namespace

std::uint32_t ServiceApp::run() {
    ControlResult result = {Outcome::UnknownOption, ERROR_INVALID_COMMAND_LINE, false};
    switch (command_) {
    case ServiceCommand::Install:
        result = installService();
        break;
    case ServiceCommand::Uninstall:
        result = uninstallService();
        break;
    case ServiceCommand::Start:
        result = startInstalledService();
        break;
    case ServiceCommand::Stop:
        result = stopInstalledService();
        break;
    case ServiceCommand::Run:
        result.outcome = Outcome::NotStartedByManager;
        result.error = runAsService();
        // Run as the service: there is nothing to say, and nobody to say it to.
        if (result.error == 0)
            return 0;
        break;
    case ServiceCommand::None:
    case ServiceCommand::Unknown:
        break;
    }
    if (result.noStartCommand) {
        LogLine warning;
        describe(warning, Outcome::NoStartCommand);
        sayOnStandardError(warning);
    }
    LogLine line;
    describe(line, result.outcome);
    // Windows' own text for ERROR_INVALID_COMMAND_LINE speaks of the Windows
    // Installer SDK; the usage says more.
    if (result.error != 0 && result.outcome != Outcome::UnknownOption)
        ServiceLog::appendError(line, result.error);
    sayOnStandardError(line);
    return result.error;
}
