//===- ServiceApp.h - The one application object of Brisnode -------------===//
//
// Chooses the operation from the command tail, runs it, and says how it went.
// The choice and the line that says it are portable; running it
// (ServiceAppWin32.cpp) needs the Service Control Manager.
//
//===----------------------------------------------------------------------===//
#pragma once

#include "ControlResult.h"
#include "LogLine.h"

#include <cstdint>

enum class ServiceCommand : std::int32_t {
    None = 0,
    Install = 1,
    Uninstall = 2,
    Start = 3,
    Stop = 4,
    Run = 5,
    // A tail that selects no option: the usage, and nothing is done.
    Unknown = 6,
};

class ServiceApp {
public:
    // Matches the options as case-insensitive prefixes of the very start of
    // the tail. An empty tail, as the Service Control Manager starts the
    // program, selects Run; any other selects Unknown. The tail is kept for
    // the usage line and must outlive the object's use.
    void selectCommand(const char* commandTail);
    ServiceCommand command() const { return command_; }

    // Runs the selected operation and writes what it did or what failed to
    // standard error, when there is one. Returns the exit code.
    std::uint32_t run();

    // The line for an outcome of the selected operation, without the error's
    // text: "Brisnode /stop: the service is stopped"; for Unknown and for a
    // Run that the dispatcher refused, the usage.
    void describe(LogLine& line, Outcome outcome) const;

private:
    ServiceCommand command_ = ServiceCommand::None;
    const char* tail_ = "";
};
