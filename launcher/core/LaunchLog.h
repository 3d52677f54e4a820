//===- LaunchLog.h - What the launcher says about its run -----------------===//
//
// With /log FILE the launcher appends a line for each thing it does, as the
// service's log does: the local date and time to the millisecond, the text,
// CR LF, in UTF-8 whatever the code page of the "A" functions. The installer's
// own standard output and error go into the same file. Without the option the
// lines are made all the same, so that the last one, which says how the run
// ended, can go to standard error for a script that redirected it.
//
//===----------------------------------------------------------------------===//
#pragma once

#include "WindowsApi.h"

#include <cstddef>

// Opens path for appending, creating the file when it is missing. False, with
// GetLastError, when it cannot be opened.
bool openLog(const char* path);

// The log's file, inheritable, for the installer's standard output and error;
// null without a log.
HANDLE logFile();

// Makes a line from format and the arguments by printf's rules, followed by
// " (error N: the system's text)" when error is not 0, and appends it to the log
// when there is one.
void logLine(DWORD error, const char* format, ...);

// "error N: the system's text", as the log and the messages give an error.
void describeError(DWORD error, char* out, std::size_t size);

// Writes the last line made, without its time, to standard error, where whoever
// started the launcher handed one over; a GUI program has none otherwise.
void sayLastLineOnStandardError();
