// mgrserver: stands in for the manager server in the service's end-to-end tests.
//
//   mgrserver run <tag> [ignore-stop] [exit-after <ms> | exit-once <ms>] [code <n>] [say]
//       runs until "stop <tag>" (unless told to ignore it), "quit <tag>", or
//       for <ms> when told to end by itself, then with exit code <n> (0 unless
//       given); exit-once ends by itself only the first time a server of that
//       tag runs (it leaves <tag>.once beside the log);
//   mgrserver launch <tag> [breakaway] [options of run]
//       starts "mgrserver run <tag>" with those options and ends at once, as a
//       launcher of the real server does; with breakaway, out of the job it runs
//       in (CREATE_BREAKAWAY_FROM_JOB), and when that is refused it logs
//       "launch-end" with how=error-<code>;
//   mgrserver stop <tag> [linger <ms>] [say]
//       tells the server of that tag to stop, then stays <ms> before it ends;
//   say: writes one line to standard output and one to standard error, each
//       naming the mode, the tag and the handle;
//   mgrserver quit <tag>
//       ends a server whatever it was told; exit code 1 when none ran;
//   mgrserver alive <tag>
//       exit code 0 while a server of that tag runs, 1 otherwise;
//   mgrserver hold <path> <ms>
//       holds the file open for <ms> without sharing it, so that nobody else
//       can open it meanwhile; logs "hold" once the file is held.
//
// Every start appends one line to the log beside the executable (the file
// name with ".log" for ".exe"), fields apart by tabs: the mode, the process id,
// the tick count, the current directory and the whole command line, so that a
// test sees where, when and how the service started it. A run appends a second
// line when it ends. Anything else on the command line is logged as "unexpected".
#include "TestProgram.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

char logPath[MAX_PATH];

// Appending is not atomic under Wine: a server and its stop command that end at
// the same moment could write their lines over each other. One named mutex of
// the prefix takes the writers in turn.
void logLine(const char* line) {
    UniqueHandle turn(CreateMutexA(nullptr, FALSE, "Global\\BrisnodeStandinLog"));
    if (turn)
        WaitForSingleObject(turn.get(), 5000);
    UniqueFileHandle log(CreateFileA(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (log)
        WriteFile(log.get(), line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
    log.reset();
    if (turn)
        ReleaseMutex(turn.get());
}

void logStart(const char* mode, const char* tag) {
    char directory[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof directory, directory);
    char line[2048];
    std::snprintf(line, sizeof line, "%s\ttag=%s\tpid=%lu\tms=%lu\tcwd=%s\tcmdline=%s\r\n", mode,
                  tag, GetCurrentProcessId(), GetTickCount(), directory, GetCommandLineA());
    logLine(line);
}

void logEnd(const char* mode, const char* tag, const char* how) {
    char line[512];
    std::snprintf(line, sizeof line, "%s-end\ttag=%s\tpid=%lu\tms=%lu\thow=%s\r\n", mode, tag,
                  GetCurrentProcessId(), GetTickCount(), how);
    logLine(line);
}

// Global names, so that the service, started by the Service Control Manager,
// and a test's programs meet in the same namespace.
void eventName(char (&name)[256], const char* kind, const char* tag) {
    std::snprintf(name, sizeof name, "Global\\BrisnodeStandin%s-%s", kind, tag);
}

void say(const char* mode, const char* tag) {
    const struct {
        DWORD id;
        const char* name;
    } handles[] = {{STD_OUTPUT_HANDLE, "standard output"}, {STD_ERROR_HANDLE, "standard error"}};
    for (const auto& handle : handles) {
        char line[256];
        std::snprintf(line, sizeof line, "mgrserver %s %s on its %s\r\n", mode, tag, handle.name);
        DWORD written = 0;
        WriteFile(GetStdHandle(handle.id), line, static_cast<DWORD>(std::strlen(line)), &written,
                  nullptr);
    }
}

// True the first time only for each tag: the marker file is created once.
bool firstRun(const char* tag) {
    char marker[MAX_PATH + 64];
    std::snprintf(marker, sizeof marker, "%s.%s.once", logPath, tag);
    UniqueFileHandle file(
        CreateFileA(marker, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(file);
}

int run(const char* tag, bool ignoreStop, DWORD lifetime, int exitCode) {
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
    return woke == WAIT_TIMEOUT ? exitCode : 0;
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

int launch(int argc, char** argv) {
    std::vector<std::string> arguments = {ownPath(), "run"};
    arguments.insert(arguments.end(), argv + 2, argv + argc);
    logStart("launch", argv[2]);
    DWORD flags = DETACHED_PROCESS;
    for (int i = 3; i < argc; ++i)
        if (std::strcmp(argv[i], "breakaway") == 0)
            flags |= CREATE_BREAKAWAY_FROM_JOB;
    StartedProgram started;
    if (startProgram(commandLine(arguments), false, flags, started))
        return 0;
    const std::string how = "error-" + std::to_string(GetLastError());
    logEnd("launch", argv[2], how.c_str());
    return 2;
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
        bool once = false;
        bool speak = false;
        int exitCode = 0;
        for (int i = 3; i < argc; ++i) {
            if (std::strcmp(argv[i], "ignore-stop") == 0) {
                ignoreStop = true;
            } else if (std::strcmp(argv[i], "say") == 0) {
                speak = true;
            } else if ((std::strcmp(argv[i], "exit-after") == 0 ||
                        std::strcmp(argv[i], "exit-once") == 0 ||
                        std::strcmp(argv[i], "linger") == 0) &&
                       i + 1 < argc) {
                once = std::strcmp(argv[i], "exit-once") == 0;
                milliseconds = static_cast<DWORD>(std::strtoul(argv[++i], nullptr, 10));
                timed = true;
            } else if (std::strcmp(argv[i], "code") == 0 && i + 1 < argc) {
                exitCode = std::atoi(argv[++i]);
            }
        }
        if (speak)
            say(mode, tag);
        if (once && std::strcmp(mode, "run") == 0)
            timed = firstRun(tag);
        if (std::strcmp(mode, "run") == 0)
            // A server told to ignore its stop still ends after two minutes, so
            // that no test leaves it behind for ever.
            return run(tag, ignoreStop,
                       timed        ? milliseconds
                       : ignoreStop ? 120000
                                    : INFINITE,
                       exitCode);
        if (std::strcmp(mode, "stop") == 0)
            return stop(tag, milliseconds);
        if (std::strcmp(mode, "launch") == 0)
            return launch(argc, argv);
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
