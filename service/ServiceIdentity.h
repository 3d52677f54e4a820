//===- ServiceIdentity.h - Names the service is known by -----------------===//
//
// The service's name, display name and dependency, its registry key and the
// values kept there. Shared by the control operations, the configuration and
// the run-time; nothing here depends on <windows.h>.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstddef>

// Inline, so that the program holds each text once, not once per source.

inline constexpr char kServiceName[] = "Brisnode";
inline constexpr char kServiceDisplayName[] = "Veltra Corvane Manager Server";

// A list of service names, each ended by a NUL, the list ended by one more NUL:
// the literal supplies the second one.
inline constexpr char kServiceDependencies[] = "Tcpip\0";

inline constexpr char kServiceKeyPath[] = "SYSTEM\\CurrentControlSet\\Services\\Brisnode";
inline constexpr char kImageDirValue[] = "ImageDir";
inline constexpr char kStartCmdValue[] = "StartCmd";
inline constexpr char kStopCmdValue[] = "StopCmd";
// Optional: absent, the service neither logs nor restarts, waits 10 s at a
// stop, and watches the start command's process alone.
inline constexpr char kLogFileValue[] = "LogFile";
inline constexpr char kLogLimitValue[] = "LogLimit";
inline constexpr char kRestartDelayValue[] = "RestartDelay";
inline constexpr char kRestartLimitValue[] = "RestartLimit";
inline constexpr char kStopTimeoutValue[] = "StopTimeout";
inline constexpr char kProcessTreeValue[] = "ProcessTree";
// Written by the service: REG_BINARY, the last server's process id and
// creation time, so that the next start can tell whether it still runs.
inline constexpr char kServerProcessValue[] = "ServerProcess";

inline constexpr char kStartBatchSuffix[] = "\\start.bat";
inline constexpr char kStopBatchSuffix[] = "\\stop.bat";

// Every text the service keeps is held in a buffer of this many bytes, the
// terminating NUL included: room for a path of the platform's 259 characters
// in UTF-8, the code page of the "A" functions under the manifest, where a
// character of the path may take three bytes. A text that does not fit is
// refused, never cut.
constexpr std::size_t kTextSize = 3 * 260;
