// A stand-in that records how it was started and holds on while a test wants it
// to. Installed as a Java VM it keeps the launcher waiting at a moment of the
// test's choosing (the search on the screen, the installer's files in place);
// installed as the shell's http opener it records the address it was given.
//
// Beside the executable (say C:\jre\bin\jre.exe):
//   jre.exe.log     appended for each run before any waiting: the command line
//                   and the working directory, then "end"
//   jre.exe.hold    while this file exists the program waits (at most 60 s, so
//                   that a test that forgets it leaves nothing running)
//   jre.exe.status  the exit status in decimal (default 0)
#include "TestProgram.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

bool exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

int configuredStatus(const std::string& path) {
    int status = 0;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        if (std::fscanf(file, "%d", &status) != 1)
            status = 0;
        std::fclose(file);
    }
    return status;
}

} // namespace

int main() {
    const std::string self = ownPath();
    char cwd[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof cwd, cwd);
    if (std::FILE* log = std::fopen((self + ".log").c_str(), "ab")) {
        std::fprintf(log, "commandline=%s\ncwd=%s\nend\n", GetCommandLineA(), cwd);
        std::fclose(log);
    }
    const DWORD started = GetTickCount();
    while (exists(self + ".hold") && GetTickCount() - started < 60000)
        Sleep(50);
    return configuredStatus(self + ".status");
}
