//===- startall.cpp - The least a program can do to run VMs one by one ----===//
//
// The benchmarks' baseline for list mode: reads command lines from a file, one
// per line, and starts each with CreateProcessA, waiting for it to end before
// the next. It imports nothing beyond KERNEL32 and the C runtime.
//
//   startall <file>
//
//===----------------------------------------------------------------------===//
#include "WindowsApi.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    std::FILE* file = argc == 2 ? std::fopen(argv[1], "r") : nullptr;
    if (file == nullptr)
        return 2;
    char line[1024];
    while (std::fgets(line, sizeof line, file) != nullptr) {
        line[std::strcspn(line, "\r\n")] = '\0';
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        if (line[0] == '\0' || !CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr,
                                               nullptr, &startup, &info))
            continue;
        WaitForSingleObject(info.hProcess, INFINITE);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    std::fclose(file);
    return 0;
}
