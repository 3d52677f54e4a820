#include "VmRun.h"

#include "BoundedText.h"
#include "VmReport.h"
#include "LateBound.h"
#include "LaunchLog.h"

#include <initializer_list>

namespace {

// How long a VM that was ended is given to let go of its output file.
constexpr DWORD kEndingTimeoutMs = 5000;
// How often the installer's job is asked whether a process of it still runs.
constexpr DWORD kJobPollMs = 200;
// The limit of Windows Vista that the headers for Windows XP do not define.
constexpr DWORD kDieOnUnhandledException = 0x00000400;

// The attribute list of CreateProcess came with Windows Vista. Its calls are
// looked up at run time and declared here, since the headers show them only to
// programs that require Vista.
constexpr DWORD kExtendedStartupInfoPresent = 0x00080000;
constexpr DWORD_PTR kHandleListAttribute = 0x00020002;

struct StartupInfoEx {
    STARTUPINFOA startup;
    void* attributes;
};

using InitializeAttributes = BOOL(WINAPI*)(void*, DWORD, DWORD, SIZE_T*);
using UpdateAttribute = BOOL(WINAPI*)(void*, DWORD, DWORD_PTR, void*, SIZE_T, void*, SIZE_T*);
using DeleteAttributes = void(WINAPI*)(void*);

// An attribute list in storage that lets a new process inherit the count
// handles and no other inheritable handle of the launcher (the pipe a script
// reads the report from, say); null where Windows has none (before Vista), and
// the process then inherits as processes always did. A list of one attribute
// takes some 48 bytes.
void* inheritOnly(HANDLE* handles, DWORD count, void* (&storage)[16], DeleteAttributes& remove) {
    auto initialize = kernel32Function<InitializeAttributes>("InitializeProcThreadAttributeList");
    auto update = kernel32Function<UpdateAttribute>("UpdateProcThreadAttribute");
    remove = kernel32Function<DeleteAttributes>("DeleteProcThreadAttributeList");
    SIZE_T size = sizeof storage;
    if (initialize == nullptr || update == nullptr || remove == nullptr ||
        !initialize(storage, 1, 0, &size))
        return nullptr;
    if (update(storage, 0, kHandleListAttribute, handles, count * sizeof *handles, nullptr,
               nullptr))
        return storage;
    remove(storage);
    return nullptr;
}

HANDLE createJob(DWORD limitFlags) {
    UniqueHandle job(CreateJobObjectA(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = limitFlags;
    if (!job || !SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits,
                                         sizeof limits))
        return nullptr;
    return job.release();
}

} // namespace

bool VmRun::start(char* commandLine, const char* environment, const char* workingDirectory,
                  const char* outputDirectory, const char* outputName, bool contained) noexcept {
    contained_ = contained;
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    // No other program reads or writes it meanwhile. It goes when its last handle
    // closes: after the run, or once a VM that hangs has ended too, also when the
    // launcher itself is ended by force.
    char outputPath[kMaxPath];
    if (sharedOutput_ == nullptr && copyText(outputPath, outputDirectory) &&
        joinPath(outputPath, outputName))
        output_.reset(CreateFileA(outputPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE,
                                  &inheritable, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));

    StartupInfoEx startup = {};
    startup.startup.cb = sizeof startup.startup;
    startup.startup.dwFlags = STARTF_USESTDHANDLES;
    startup.startup.hStdOutput = output_ ? output_.get() : sharedOutput_;
    startup.startup.hStdError = sharedOutput_;
    // Every VM starts suspended, so that it is in its job before it can start
    // anything of its own. The error mode that the launcher set for itself (no
    // box for a drive without its disk, nor for a crash) is inherited by the
    // probes; the installer gets Windows' own, so that its errors show as usual.
    DWORD flags = DETACHED_PROCESS | CREATE_SUSPENDED | (contained ? 0 : CREATE_DEFAULT_ERROR_MODE);
    HANDLE inherited[2];
    DWORD count = 0;
    for (HANDLE handle : {startup.startup.hStdOutput, kept_})
        if (handle != nullptr)
            inherited[count++] = handle;
    void* storage[16] = {};
    DeleteAttributes removeAttributes = nullptr;
    if (count != 0) {
        startup.attributes = inheritOnly(inherited, count, storage, removeAttributes);
        if (startup.attributes != nullptr) {
            startup.startup.cb = sizeof startup;
            flags |= kExtendedStartupInfoPresent;
        }
    }
    job_.reset(createJob(contained ? JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | kDieOnUnhandledException
                                   : JOB_OBJECT_LIMIT_BREAKAWAY_OK));
    PROCESS_INFORMATION started = {};
    BOOL created = CreateProcessA(nullptr, commandLine, nullptr, nullptr, count != 0, flags,
                                  const_cast<char*>(environment), workingDirectory,
                                  &startup.startup, &started);
    const DWORD error = GetLastError();
    if (startup.attributes != nullptr)
        removeAttributes(startup.attributes);
    if (!created) {
        logLine(error, "cannot start %s", commandLine);
        job_.reset();
        output_.reset();
        SetLastError(error);
        return false;
    }
    process_.reset(started.hProcess);
    UniqueHandle thread(started.hThread);
    logLine(0, "started process %lu: %s", started.dwProcessId, commandLine);
    // Windows 7 puts no process into a second job: a launcher that runs in a job
    // of someone else's has its probes ended one by one instead, and waits for
    // its installer's VM alone.
    if (job_ && !AssignProcessToJobObject(job_.get(), process_.get()))
        job_.reset();
    ResumeThread(thread.get());
    return true;
}

DWORD VmRun::waitForJob() const noexcept {
    HANDLE process = process_.get();
    waitHandlingMessages(&process, 1, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(process, &status);
    // A job is signalled by no end of its processes: it is asked how many remain.
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting;
    while (job_ &&
           QueryInformationJobObject(job_.get(), JobObjectBasicAccountingInformation, &accounting,
                                     sizeof accounting, nullptr) &&
           accounting.ActiveProcesses > 0)
        waitHandlingMessages(nullptr, 0, kJobPollMs);
    return status;
}

int VmRun::finish(char* version, std::size_t size) noexcept {
    DWORD status = 0;
    if (!GetExitCodeProcess(process_.get(), &status))
        status = 0;
    if (contained_ && status == STILL_ACTIVE) {
        if (job_)
            TerminateJobObject(job_.get(), 1);
        else
            TerminateProcess(process_.get(), 1);
        wait(kEndingTimeoutMs);
    }
    // Closing the job ends whatever the VM started and left running.
    job_.reset();
    process_.reset();

    char output[kMaxProbeOutput] = {};
    DWORD read = 0;
    if (output_) {
        SetFilePointer(output_.get(), 0, nullptr, FILE_BEGIN);
        if (!ReadFile(output_.get(), output, sizeof output, &read, nullptr))
            read = 0;
        output_.reset();
    }
    if (version != nullptr)
        probeVersion(output, read, version, size);
    return read > 0 && output[0] == 'T' ? kQualifiedStatus : static_cast<int>(status);
}

void waitHandlingMessages(const HANDLE* processes, DWORD count, DWORD milliseconds) noexcept {
    const DWORD startedAt = GetTickCount();
    bool quit = false;
    WPARAM exitCode = 0;
    for (;;) {
        DWORD spent = GetTickCount() - startedAt;
        DWORD left = milliseconds == INFINITE ? INFINITE
                     : spent < milliseconds   ? milliseconds - spent
                                              : 0;
        if (MsgWaitForMultipleObjects(count, processes, FALSE, left, QS_ALLINPUT) !=
            WAIT_OBJECT_0 + count)
            break;
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quit = true;
                exitCode = message.wParam;
            } else if ((message.message < WM_KEYFIRST || message.message > WM_KEYLAST) &&
                       (message.message < WM_MOUSEFIRST || message.message > WM_MOUSELAST)) {
                DispatchMessageA(&message);
            }
        }
    }
    // The dialogs' own loops end on WM_QUIT: it goes back for them to see.
    if (quit)
        PostQuitMessage(static_cast<int>(exitCode));
}
