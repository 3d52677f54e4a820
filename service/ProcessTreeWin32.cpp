//===- ProcessTreeWin32.cpp - The server and every process it starts -----===//
#include "ProcessTreeWin32.h"

#include "StopTimeout.h"

#include <utility>

namespace {
constexpr DWORD kEndPollMilliseconds = 10;
// The exit code of the processes that a stop ends.
constexpr UINT kEndedExitCode = 1;
} // namespace

bool ProcessTree::create(DWORD& error) {
    UniqueHandle job(CreateJobObjectA(nullptr, nullptr));
    if (!job) {
        error = GetLastError();
        return false;
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = JOBOBJECT_EXTENDED_LIMIT_INFORMATION();
    // A process of the tree that asks to leave it (CREATE_BREAKAWAY_FROM_JOB)
    // may, instead of failing to start with access denied; it is then beyond
    // the reach of the stop. Processes that do not ask stay in the tree.
    limits.BasicLimitInformation.LimitFlags =
        JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_BREAKAWAY_OK;
    if (!SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits,
                                 sizeof limits)) {
        error = GetLastError();
        return false;
    }
    job_ = std::move(job);
    return true;
}

bool ProcessTree::adopt(HANDLE process, DWORD& error) const {
    // Windows before 8 refuses when the service itself runs in a job that
    // does not let its processes break away.
    if (AssignProcessToJobObject(job_.get(), process))
        return true;
    error = GetLastError();
    return false;
}

// A job that cannot be asked counts as empty, so that the service can stop.
DWORD ProcessTree::running() const {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = JOBOBJECT_BASIC_ACCOUNTING_INFORMATION();
    if (!QueryInformationJobObject(job_.get(), JobObjectBasicAccountingInformation, &accounting,
                                   sizeof accounting, nullptr))
        return 0;
    return accounting.ActiveProcesses;
}

bool ProcessTree::endAll(DWORD& ended, DWORD& error) const {
    ended = running();
    if (!TerminateJobObject(job_.get(), kEndedExitCode)) {
        error = GetLastError();
        return false;
    }
    // The processes end a moment after the call.
    const DWORD started = GetTickCount();
    while (running() != 0 && GetTickCount() - started < kTreeEndMilliseconds)
        Sleep(kEndPollMilliseconds);
    return true;
}
