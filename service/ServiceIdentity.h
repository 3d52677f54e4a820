//===- ServiceIdentity.h - Names the service is known by -----------------===//
//
// The service's name, display name and dependency, its registry key and the
// values kept there. Shared by the control operations, the configuration and
// the run-time; nothing here depends on <windows.h>.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstddef>

constexpr char kServiceName[] = "Brisnode";
constexpr char kServiceDisplayName[] = "Veltra Corvane Manager Server";

// A list of service names, each ended by a NUL, the list ended by one more NUL:
// the literal supplies the second one.
constexpr char kServiceDependencies[] = "Tcpip\0";

constexpr char kServiceKeyPath[] = "SYSTEM\\CurrentControlSet\\Services\\Brisnode";
constexpr char kImageDirValue[] = "ImageDir";
constexpr char kStartCmdValue[] = "StartCmd";
constexpr char kStopCmdValue[] = "StopCmd";
// Optional: absent, the service neither logs nor restarts, waits 10 s at a
// stop, and watches the start command's process alone.
constexpr char kLogFileValue[] = "LogFile";
constexpr char kLogLimitValue[] = "LogLimit";
constexpr char kRestartDelayValue[] = "RestartDelay";
constexpr char kRestartLimitValue[] = "RestartLimit";
constexpr char kStopTimeoutValue[] = "StopTimeout";
constexpr char kProcessTreeValue[] = "ProcessTree";

constexpr char kStartBatchSuffix[] = "\\start.bat";
constexpr char kStopBatchSuffix[] = "\\stop.bat";

// Every text the service keeps is held in a buffer of this many bytes, the
// terminating NUL included: room for a path of the platform's 259 characters
// in UTF-8, the code page of the "A" functions under the manifest, where a
// character of the path may take three bytes. A text that does not fit is
// refused, never cut.
constexpr std::size_t kTextSize = 3 * 260;
