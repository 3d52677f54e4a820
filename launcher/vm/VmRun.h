//===- VmRun.h - One Java VM process, from its start to its answer --------===//
//
// A run is started, waited for and finished in separate steps, so that the
// caller chooses how to wait: a probe for a bounded time, the installer until
// it ends while the thread handles its messages, several runs side by side.
//
// A contained run (a probe) lives in a job object of its own that ends every
// process in it when the run is finished before the VM has ended, and when the
// launcher ends, however it ends; and a process of it that crashes ends at
// once, without Windows' error box. A free run (the installer) lives in a job
// that ends nothing, only counts its processes, so that the launcher can wait
// for the last of them; they may leave it, and they get Windows' own error
// boxes back. Either VM inherits no handle but the file that takes its standard
// output, and the installer the run folder's lock.
//
//===----------------------------------------------------------------------===//
#pragma once

#include "Path.h"
#include "ScopedHandle.h"

#include <cstddef>

// The exit status with which the probe class accepts a VM.
constexpr int kQualifiedStatus = 314;

// Waits until one of count processes has ended or milliseconds (INFINITE: no
// bound) have passed, while the thread's messages are handled, so that its
// windows repaint and the system's broadcasts are answered. Keyboard and mouse
// input is dropped: it was aimed at a window that was busy or hidden, and would
// act on what it shows later.
void waitHandlingMessages(const HANDLE* processes, DWORD count, DWORD milliseconds) noexcept;

class VmRun {
public:
    VmRun() = default;
    // A contained run not finished yet is finished now; a free one goes on.
    ~VmRun() {
        if (process_ && contained_)
            finish();
    }
    VmRun(const VmRun&) = delete;
    VmRun& operator=(const VmRun&) = delete;

    // Starts commandLine with an environment block or none, in workingDirectory
    // or the launcher's own when it is null, with its standard output in a new
    // file outputName in outputDirectory. False, and nothing left of the run,
    // when the process cannot be started; a missing output file is no failure.
    bool start(char* commandLine, const char* environment, const char* workingDirectory,
               const char* outputDirectory, const char* outputName, bool contained) noexcept;

    // What the next run inherits besides its output: output, when not null (the
    // log), takes its standard output and error instead of a file of the run's
    // own; kept, when not null (the run folder's lock), is inherited as it is.
    void inheritAlso(HANDLE output, HANDLE kept) {
        sharedOutput_ = output;
        kept_ = kept;
    }

    HANDLE process() const { return process_.get(); }

    // Waits, handling the thread's messages, until the VM has ended and then
    // until the last process of its job has; without a job, for the VM alone.
    // Returns the VM's exit status.
    DWORD waitForJob() const noexcept;

    // True when the VM has ended within milliseconds.
    bool wait(DWORD milliseconds) const noexcept {
        return WaitForSingleObject(process_.get(), milliseconds) == WAIT_OBJECT_0;
    }

    // The run's result: 314 when the VM's first output byte is 'T', else its
    // exit status, 259 while it runs. A contained VM that still runs is ended
    // with whatever it started. The version the output gives goes into version
    // when one is given (probeVersion). The output file is removed.
    int finish(char* version = nullptr, std::size_t size = 0) noexcept;

private:
    UniqueHandle job_;
    UniqueHandle process_;
    UniqueFileHandle output_;
    HANDLE sharedOutput_ = nullptr;
    HANDLE kept_ = nullptr;
    bool contained_ = false;
};
