//===- ServiceControl.h - Installing and controlling the service ---------===//
//
// The four operations of the command line, each through the Service Control
// Manager, each opening and closing its own handles, each ending with what it
// did or with the step that failed and its Windows error. Windows only
// (ServiceControlWin32.cpp).
//
//===----------------------------------------------------------------------===//
#pragma once

#include "ControlResult.h"

#include <cstdint>

// Registers the service, stores its configuration and starts it. On a service
// that is installed already: registers this executable's path, stores ImageDir
// and the commands afresh (every other value stays), and starts the service
// when it does not run; the new commands take effect at its next start.
ControlResult installService();

// Stops the service as stopInstalledService does, then deletes it.
ControlResult uninstallService();

// Starts the service; one that already runs counts as started.
ControlResult startInstalledService();

// Asks the service to stop, or finds it stopping already, and waits up to
// 30 s for it, or as long as its StopTimeout lets a stop take when that is
// longer. A service that is not running counts as stopped.
ControlResult stopInstalledService();

// At a shutdown the system waits for the service no longer than its
// preshutdown time-out: raises it to cover a whole stop of stopTimeout (never
// lowers it). For the service itself, which opens its registration with no
// more access than this needs. 0, or the Windows error: the account may not
// change the registration, or the system has no preshutdown time-out.
std::uint32_t coverStopAtShutdown(std::uint32_t stopTimeout);
