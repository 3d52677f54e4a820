//===- ControlResult.h - What a control operation did --------------------===//
//
// Scripts and deployment tools run the control operations and read their exit
// code: 0 when the operation did its work, otherwise the Windows error of the
// step that failed. The outcome names what was done or which step failed, for
// the one line that Brisnode writes to its standard error (ServiceApp).
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>

// The order is that of the texts in ServiceApp.cpp.
enum class Outcome : std::uint8_t {
    Installed,
    InstalledAgainAndStarted,
    InstalledAgainRunning,
    Started,
    RunningAlready,
    Stopped,
    NotRunning,
    Removed,
    // Said before the outcome of an /install that stored an empty start command.
    NoStartCommand,
    // The failures, each with the Windows error of its step.
    ManagerNotOpened,
    StoppedAtStart, // the error is the service's own exit code
    StopTimedOut,
    // "cannot <verb> the service"
    ServiceNotOpened,
    NotCreated,
    NotConfigured,
    NotStarted,
    NotStopped,
    NotRemoved,
    // Said with the usage.
    NotStartedByManager,
    UnknownOption,
};

struct ControlResult {
    Outcome outcome;
    std::uint32_t error; // 0 when the operation did its work: the exit code
    bool noStartCommand; // /install: start.bat gave no command
};
