//===- ServiceApp.h - The one application object of Brisnode -------------===//
//
// Chooses the operation from the command tail and runs it. The choice is
// portable; running it (ServiceAppWin32.cpp) needs the Service Control Manager.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>

enum class ServiceCommand : std::int32_t {
    None = 0,
    Install = 1,
    Uninstall = 2,
    Start = 3,
    Stop = 4,
    Run = 5,
};

class ServiceApp {
public:
    // Matches the options as case-insensitive prefixes of the very start of
    // the tail; anything else selects Run.
    void selectCommand(const char* commandTail);
    ServiceCommand command() const { return command_; }

    // Runs the selected operation; its result is only a trace, never an exit code.
    bool run();

private:
    ServiceCommand command_ = ServiceCommand::None;
};
