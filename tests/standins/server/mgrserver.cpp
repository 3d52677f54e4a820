// mgrserver: stands in for the manager server in the service's end-to-end tests.
//
//   mgrserver run <tag> [ignore-stop] [exit-after <ms>]
//       runs until "stop <tag>" (unless told to ignore it), "quit <tag>", or
//       for <ms> when told to end by itself;
//   mgrserver stop <tag> [linger <ms>]
//       tells the server of that tag to stop, then stays <ms> before it ends;
//   mgrserver quit <tag>
//       ends a server whatever it was told; exit code 1 when none ran;
//   mgrserver alive <tag>
//       exit code 0 while a server of that tag runs, 1 otherwise;
//   mgrserver hold <path> <ms>
//       holds the file open for <ms> without sharing it, so that nobody else
//       can open it meanwhile; logs "hold" once the file is held.
//
// Every start appends one line to the log beside the executable (the file
// name with ".log" for ".exe"), fields apart by tabs: the mode, the process id, the current
// directory and the whole command line, so that a test sees where and how the
// service started it. A run appends a second line when it ends. Anything else
// on the command line is logged as "unexpected". An end line also holds the
// performance counter at the end (t=).
#include "win32/ScopedHandle.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

char logPath[MAX_PATH];

void logLine(const char* line) {
    UniqueFileHandle log(CreateFileA(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!log)
        return;
    DWORD written = 0;
    WriteFile(log.get(), line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
}

void logStart(const char* mode, const char* tag) {
    char directory[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof directory, directory);
    char line[2048];
    std::snprintf(line, sizeof line, "%s\ttag=%s\tpid=%lu\tcwd=%s\tcmdline=%s\r\n", mode, tag,
                  GetCurrentProcessId(), directory, GetCommandLineA());
    logLine(line);
}

// The end carries the performance counter, which the prefix's processes share,
// so that a benchmark can tell how long the service took to report it.
void logEnd(const char* mode, const char* tag, const char* how) {
    char line[512];
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    std::snprintf(line, sizeof line, "%s-end\ttag=%s\tpid=%lu\thow=%s\tt=%lld\r\n", mode, tag,
                  GetCurrentProcessId(), how, counter.QuadPart);
    logLine(line);
}

// Global names, so that the service, started by the Service Control Manager,
// and a test's programs meet in the same namespace.
void eventName(char (&name)[256], const char* kind, const char* tag) {
    std::snprintf(name, sizeof name, "Global\\BrisnodeStandin%s-%s", kind, tag);
}

int run(const char* tag, bool ignoreStop, DWORD lifetime) {
    char stopName[256];
    char quitName[256];
    eventName(stopName, "Stop", tag);
    eventName(quitName, "Quit", tag);
    UniqueHandle stopEvent(CreateEventA(nullptr, TRUE, FALSE, stopName));
    UniqueHandle quitEvent(CreateEventA(nullptr, TRUE, FALSE, quitName));
    if (!stopEvent || !quitEvent) {
        logEnd("run", tag, "no-events");
        return 2;
    }
    logStart("run", tag);
    const HANDLE events[2] = {quitEvent.get(), stopEvent.get()};
    const DWORD woke = WaitForMultipleObjects(ignoreStop ? 1 : 2, events, FALSE, lifetime);
    logEnd("run", tag,
           woke == WAIT_OBJECT_0       ? "quit"
           : woke == WAIT_OBJECT_0 + 1 ? "stop"
                                       : "self");
    return 0;
}

int signal(const char* kind, const char* tag) {
    char name[256];
    eventName(name, kind, tag);
    UniqueHandle event(OpenEventA(EVENT_MODIFY_STATE, FALSE, name));
    if (!event)
        return 1;
    SetEvent(event.get());
    return 0;
}

int stop(const char* tag, DWORD linger) {
    logStart("stop", tag);
    const int found = signal("Stop", tag);
    Sleep(linger);
    logEnd("stop", tag, found == 0 ? "signalled" : "no-server");
    return 0;
}

int alive(const char* tag) {
    char name[256];
    eventName(name, "Quit", tag);
    UniqueHandle event(OpenEventA(SYNCHRONIZE, FALSE, name));
    return event ? 0 : 1;
}

int hold(const char* path, DWORD milliseconds) {
    UniqueFileHandle file(
        CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return 1;
    logStart("hold", "-");
    Sleep(milliseconds);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    GetModuleFileNameA(nullptr, logPath, sizeof logPath);
    char* extension = std::strrchr(logPath, '.');
    if (extension != nullptr && std::strlen(extension) == 4)
        std::strcpy(extension, ".log");

    if (argc >= 3) {
        const char* mode = argv[1];
        const char* tag = argv[2];
        bool ignoreStop = false;
        DWORD milliseconds = 0;
        bool timed = false;
        for (int i = 3; i < argc; ++i) {
            if (std::strcmp(argv[i], "ignore-stop") == 0) {
                ignoreStop = true;
            } else if ((std::strcmp(argv[i], "exit-after") == 0 ||
                        std::strcmp(argv[i], "linger") == 0) &&
                       i + 1 < argc) {
                milliseconds = static_cast<DWORD>(std::strtoul(argv[++i], nullptr, 10));
                timed = true;
            }
        }
        if (std::strcmp(mode, "run") == 0)
            // A server told to ignore its stop still ends after two minutes, so
            // that no test leaves it behind for ever.
            return run(tag, ignoreStop, timed ? milliseconds : ignoreStop ? 120000 : INFINITE);
        if (std::strcmp(mode, "stop") == 0)
            return stop(tag, milliseconds);
        if (std::strcmp(mode, "quit") == 0)
            return signal("Quit", tag);
        if (std::strcmp(mode, "alive") == 0)
            return alive(tag);
        if (std::strcmp(mode, "hold") == 0 && argc >= 4)
            return hold(argv[2], static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10)));
    }
    logStart("unexpected", "-");
    return 3;
}
