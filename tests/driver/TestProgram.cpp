//===- TestProgram.cpp - What the test programs share ---------------------===//
#include "TestProgram.h"

#include <cstring>

std::string ownPath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    return path;
}

std::string quoteArgument(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos)
        return argument;
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}

std::string commandLine(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& argument : arguments)
        line += (line.empty() ? "" : " ") + quoteArgument(argument);
    return line;
}

bool startProgram(const std::string& commandLine, bool inheritStandardHandles, DWORD flags,
                  StartedProgram& started) {
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (inheritStandardHandles) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    }
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, inheritStandardHandles, flags,
                        nullptr, nullptr, &startup, &info))
        return false;
    started.process.reset(info.hProcess);
    started.thread.reset(info.hThread);
    started.id = info.dwProcessId;
    return true;
}

namespace {
struct WindowList {
    bool includeHidden;
    std::vector<HWND> windows;
};

BOOL CALLBACK collectWindow(HWND window, LPARAM param) {
    WindowList* list = reinterpret_cast<WindowList*>(param);
    if (list->includeHidden || IsWindowVisible(window))
        list->windows.push_back(window);
    return TRUE;
}
} // namespace

// EnumWindows walks the top-level windows from the top of the z-order down.
std::vector<HWND> topLevelWindows(bool includeHidden) {
    WindowList list{includeHidden, {}};
    EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&list));
    return list.windows;
}

std::string windowText(HWND window) {
    std::vector<char> buffer(65536, '\0');
    int length = GetWindowTextA(window, buffer.data(), static_cast<int>(buffer.size()));
    return std::string(buffer.data(), length > 0 ? static_cast<size_t>(length) : 0);
}

DWORD watchService(SC_HANDLE service, DWORD since, DWORD timeoutMs,
                   const std::function<void(DWORD, const SERVICE_STATUS&)>& changed) {
    DWORD last = 0;
    DWORD lastCheckPoint = 0;
    for (;;) {
        SERVICE_STATUS status = {};
        const DWORD elapsed = GetTickCount() - since;
        if (!QueryServiceStatus(service, &status))
            return 0;
        if (status.dwCurrentState != last || status.dwCheckPoint != lastCheckPoint) {
            last = status.dwCurrentState;
            lastCheckPoint = status.dwCheckPoint;
            changed(elapsed, status);
        }
        if (last == SERVICE_STOPPED || elapsed >= timeoutMs)
            return last;
        Sleep(10);
    }
}
