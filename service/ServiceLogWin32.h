//===- ServiceLogWin32.h - The service's log file ------------------------===//
//
// Opt-in: with "LogFile" in the service's key, the service appends a line for
// each thing it does or sees, and its commands get the same file as their
// standard output and error. A file over "LogLimit" bytes (10 MiB unless set)
// is renamed to its name with ".1" at the next start, replacing an older
// ".1", so that the log cannot fill the disk. Without the value, or with a
// file that cannot be opened, nothing is written anywhere and the service
// runs as it would without.
//
//===----------------------------------------------------------------------===//
#pragma once

#include "LogLine.h"

#include "win32/ScopedHandle.h"

class ServiceLog {
public:
    // Reads the values, renames a file over its limit and opens the file, one
    // attempt per start; writes the run's first line.
    void open();

    // A line stamped with the local time now, for write.
    static LogLine line();
    // Appends " (error <code>: <the system's message>)".
    static void appendError(LogLine& line, DWORD error);

    // Each does nothing while the log is closed.
    void write(const LogLine& line);
    void write(const char* message);
    // "<before><number><after>", the shape of most lines.
    void write(const char* before, std::uint32_t number, const char* after);

    // A copy of the file's handle that a process started with handle
    // inheritance receives; empty while the log is closed.
    UniqueHandle inheritableCopy() const;

private:
    UniqueFileHandle file_;
};
