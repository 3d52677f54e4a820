//===- ServiceRuntime.h - Brisnode running as the service ----------------===//
//
// Started by the Service Control Manager, the program hands its main thread to
// the dispatcher. The service's thread starts the manager server with the
// start command, waits for it to end or for a stop control (or the system's
// shutdown), and on a stop runs the stop command and waits a bounded time for
// both processes. A service that could not do its work says so in the exit
// codes of its stopped report. Opt-in values of the service's key add a log,
// the restart of a server that ends by itself, a stop time-out of its own, and
// the server's whole process tree, which alone is ever ended by force. Windows
// only (ServiceRuntimeWin32.cpp).
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>

// Creates the process-wide stop event and the lock over the status record.
// Called once at start-up in every mode; false when the event cannot be made.
bool initialiseRuntime();

// Runs the service until it has reported stopped, then returns 0. When the
// program was not started by the Service Control Manager it returns at once,
// with the dispatcher's error.
std::uint32_t runAsService();
