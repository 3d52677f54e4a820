//===- benchtimer.cpp - Times programs from inside a Wine prefix ----------===//
//
// The benchmarks run this next to the programs they time, so that Wine's own
// start-up stays out of the figures. Every command prints one line: the
// milliseconds it measured (with the performance counter), or a failure on
// stderr and exit status 2. A started program runs in a job object that is
// ended with it, children included, once its time is taken.
//
//   benchtimer window <caption> <program> [args]
//       from the start of the program to its first visible window of that caption
//   benchtimer extract <caption> <file> <size> <program> [args]
//       starts the program, waits until its VM choice dialog lists a VM, presses
//       OK and times from there until <file> holds <size> bytes
//   benchtimer save <caption> <folder> <program> [args]
//       starts the program, waits for its no-VM dialog, chooses the save option
//       with <folder>, presses OK and times from there until the message box
//       that tells how the save went
//   benchtimer copy <from> <to>
//       CopyFileA of one file to another
//   A * in the name of <file>'s or <from>'s folder stands for the first folder
//   that matches: the launcher's folder of its run.
//   benchtimer run <program> [args]
//       from the start of the program to its end
//   benchtimer svcstop <service>
//       asks the service to stop and waits for "stopped"; prints the tick count
//       at that moment, for comparison with the ends that the stand-in server
//       logs
//
//===----------------------------------------------------------------------===//
#include "TestProgram.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Controls of the launcher's dialogs.
const int kVmList = 1001;
const int kSaveFolder = 1006;
const int kDownloadOption = 1021;
const int kSaveOption = 1023;
const int kMessageBoxText = 65535;
const DWORD kTimeoutMs = 120000;
const DWORD kWindowPollMs = 10;

struct Failure {
    std::string message;
};

LONGLONG now() {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

double milliseconds(LONGLONG from, LONGLONG to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to - from) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// Polls every intervalMs until done() holds; fails with what after the time-out
// counted from since.
template <class Done> void pollUntil(LONGLONG since, const char* what, DWORD intervalMs, Done done) {
    while (!done()) {
        if (milliseconds(since, now()) > kTimeoutMs)
            throw Failure{std::string(what) + " did not come about in time"};
        Sleep(intervalMs);
    }
}

std::string arguments(int argc, char** argv, int first) {
    return commandLine(std::vector<std::string>(argv + first, argv + argc));
}

// A started program and its job: closing the job ends them all.
struct Started {
    UniqueHandle job;
    StartedProgram program;
    LONGLONG startedAt = 0;
};

Started start(const std::string& line) {
    Started started;
    started.job.reset(CreateJobObjectA(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!started.job ||
        !SetInformationJobObject(started.job.get(), JobObjectExtendedLimitInformation, &limits,
                                 sizeof limits))
        throw Failure{"no job object: " + std::to_string(GetLastError())};
    started.startedAt = now();
    if (!startProgram(line, false, CREATE_SUSPENDED, started.program))
        throw Failure{"cannot start " + line + ": " + std::to_string(GetLastError())};
    AssignProcessToJobObject(started.job.get(), started.program.process.get());
    ResumeThread(started.program.thread.get());
    return started;
}

void finish(Started& started) {
    TerminateJobObject(started.job.get(), 1);
    WaitForSingleObject(started.program.process.get(), 10000);
}

// The program's first visible window of that caption, with the control when one
// is named and other than besides, polled for from since on.
HWND waitForWindow(const Started& started, const char* caption, LONGLONG since, int control = 0,
                   HWND besides = nullptr) {
    HWND found = nullptr;
    // Each look at the windows asks the server about every window: done every
    // millisecond, it took a core from the program being timed (the save of
    // 256 MiB took half as long again, and twice as long at times).
    pollUntil(since, "the window", kWindowPollMs, [&] {
        if (WaitForSingleObject(started.program.process.get(), 0) == WAIT_OBJECT_0)
            throw Failure{"the program ended without a window"};
        for (HWND window : topLevelWindows(false)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == started.program.id && window != besides && windowText(window) == caption &&
                (control == 0 || GetDlgItem(window, control) != nullptr))
                found = window;
        }
        return found != nullptr;
    });
    return found;
}

void pressOk(HWND dialog) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
}

void print(double value) {
    std::printf("%.3f\n", value);
}

int window(int argc, char** argv) {
    Started started = start(arguments(argc, argv, 3));
    waitForWindow(started, argv[2], started.startedAt);
    const LONGLONG shown = now();
    finish(started);
    print(milliseconds(started.startedAt, shown));
    return 0;
}

ULONGLONG fileSize(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::string matchingPath(const std::string& path) {
    std::size_t slash = path.rfind('\\');
    std::string folder = path.substr(0, slash);
    if (slash == std::string::npos || folder.find('*') == std::string::npos)
        return path;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(folder.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return path;
    FindClose(search);
    return folder.substr(0, folder.rfind('\\') + 1) + found.cFileName + path.substr(slash);
}

int extract(int argc, char** argv) {
    const std::string pattern = argv[3];
    const ULONGLONG size = std::strtoull(argv[4], nullptr, 10);
    Started started = start(arguments(argc, argv, 5));
    HWND dialog = waitForWindow(started, argv[2], started.startedAt);
    HWND list = GetDlgItem(dialog, kVmList);
    pollUntil(started.startedAt, "a listed VM", kWindowPollMs, [&] {
        DWORD_PTR items = 0;
        return SendMessageTimeoutA(list, CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 100, &items) &&
               items != 0 && items != static_cast<DWORD_PTR>(CB_ERR);
    });
    const LONGLONG pressed = now();
    pressOk(dialog);
    pollUntil(pressed, "the extracted file", 1,
              [&] { return fileSize(matchingPath(pattern).c_str()) >= size; });
    const LONGLONG written = now();
    finish(started);
    print(milliseconds(pressed, written));
    return 0;
}

int save(int argc, char** argv) {
    Started started = start(arguments(argc, argv, 4));
    HWND dialog = waitForWindow(started, argv[2], started.startedAt, kSaveOption);
    // The option is set as the dialog reads it when OK is pressed: checked
    // instead of the download option, with the folder in its field.
    DWORD_PTR done = 0;
    SendMessageTimeoutA(GetDlgItem(dialog, kDownloadOption), BM_SETCHECK, BST_UNCHECKED, 0,
                        SMTO_ABORTIFHUNG, kTimeoutMs, &done);
    SendMessageTimeoutA(GetDlgItem(dialog, kSaveOption), BM_SETCHECK, BST_CHECKED, 0,
                        SMTO_ABORTIFHUNG, kTimeoutMs, &done);
    SendMessageTimeoutA(GetDlgItem(dialog, kSaveFolder), WM_SETTEXT, 0,
                        reinterpret_cast<LPARAM>(argv[3]), SMTO_ABORTIFHUNG, kTimeoutMs, &done);
    const LONGLONG pressed = now();
    pressOk(dialog);
    // The dialogs' icons have the message box text's id too.
    waitForWindow(started, argv[2], pressed, kMessageBoxText, dialog);
    const LONGLONG answered = now();
    finish(started);
    print(milliseconds(pressed, answered));
    return 0;
}

int copy(int, char** argv) {
    DeleteFileA(argv[3]);
    const LONGLONG from = now();
    if (!CopyFileA(matchingPath(argv[2]).c_str(), argv[3], FALSE))
        throw Failure{"CopyFileA failed: " + std::to_string(GetLastError())};
    print(milliseconds(from, now()));
    return 0;
}

int run(int argc, char** argv) {
    Started started = start(arguments(argc, argv, 2));
    WaitForSingleObject(started.program.process.get(), kTimeoutMs);
    print(milliseconds(started.startedAt, now()));
    return 0;
}

int serviceStop(int, char** argv) {
    UniqueServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    UniqueServiceHandle service(
        manager ? OpenServiceA(manager.get(), argv[2], SERVICE_STOP | SERVICE_QUERY_STATUS)
                : nullptr);
    if (!service)
        throw Failure{"cannot open the service: " + std::to_string(GetLastError())};
    SERVICE_STATUS status = {};
    if (!ControlService(service.get(), SERVICE_CONTROL_STOP, &status))
        throw Failure{"the service refused to stop: " + std::to_string(GetLastError())};
    // The tick count of the last change seen, which is the change to stopped.
    DWORD stoppedAt = 0;
    if (watchService(service.get(), GetTickCount(), kTimeoutMs, [&](DWORD, const SERVICE_STATUS&) {
            stoppedAt = GetTickCount();
        }) != SERVICE_STOPPED)
        throw Failure{"the stopped state did not come about in time"};
    std::printf("%lu\n", stoppedAt);
    return 0;
}

int dispatch(int argc, char** argv) {
    const struct {
        const char* name;
        int fewestArguments;
        int (*run)(int, char**);
    } commands[] = {{"window", 4, window}, {"extract", 6, extract}, {"save", 5, save},
                    {"copy", 4, copy},     {"run", 3, run},         {"svcstop", 3, serviceStop}};
    for (const auto& command : commands)
        if (argc >= command.fewestArguments && std::strcmp(argv[1], command.name) == 0)
            return command.run(argc, argv);
    throw Failure{"usage: benchtimer window|extract|save|copy|run|svcstop ..."};
}

} // namespace

int main(int argc, char** argv) {
    try {
        return dispatch(argc, argv);
    } catch (const Failure& failure) {
        std::fprintf(stderr, "benchtimer: %s\n", failure.message.c_str());
        return 2;
    }
}
