//===- ServiceControl.h - Installing and controlling the service ---------===//
//
// The four operations of the command line, each through the Service Control
// Manager, each opening and closing its own handles. Windows only
// (ServiceControlWin32.cpp).
//
//===----------------------------------------------------------------------===//
#pragma once

// Registers the service, stores its configuration and starts it. False when
// the service exists already; nothing is changed then.
bool installService();

// Stops the service if it runs, then deletes it.
bool uninstallService();

// Starts the service; one that already runs counts as started.
bool startInstalledService();

// Asks the service to stop and waits up to 30 s for it, or as long as its
// StopTimeout lets a stop take when that is longer. True once the service
// could be opened, whether or not it stopped.
bool stopInstalledService();
