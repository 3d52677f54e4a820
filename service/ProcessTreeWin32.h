//===- ProcessTreeWin32.h - The server and every process it starts -------===//
//
// Opt-in with "ProcessTree": the start command's process runs in a job object
// that the service owns, and so does every process it starts, however deep.
// A start command that is only a launcher then counts as running as long as
// the server it started runs; what is left of the tree at the end of a stop
// can be ended; and the job ends the whole tree when the service's process
// ends, however it ends, so that no server process outlives the service.
//
//===----------------------------------------------------------------------===//
#pragma once

#include "win32/ScopedHandle.h"

class ProcessTree {
public:
    // Creates the job. False, with the Windows error, when it cannot be made.
    bool create(DWORD& error);

    // False while there is no job: the server is then watched as one process.
    explicit operator bool() const { return static_cast<bool>(job_); }
    void drop() { job_.reset(); }

    // Puts a process that has not run yet into the job.
    bool adopt(HANDLE process, DWORD& error) const;

    // How many processes of the tree run now.
    DWORD running() const;

    // Ends every process of the tree and waits, at most kTreeEndMilliseconds,
    // until none runs. Returns how many ran; false when the job refused.
    bool endAll(DWORD& ended, DWORD& error) const;

private:
    UniqueHandle job_;
};
