// A stand-in for a Java VM. Installed as java.exe, jre.exe or jview.exe, it
// records how it was started and answers as its configuration file says. Built
// twice: fakevm with the UTF-8 code page of the project's manifest, and
// fakevm-ansi without, which reads its command line, environment and working
// directory in the ANSI code page, as the Java VMs do.
//
// Beside the executable (say C:\jdk\bin\java.exe):
//   java.exe.cfg  read at start, lines KEY=VALUE:
//     status=N          exit status (default 159)
//     status:CLASS=N    exit status when started on that class
//     output=TEXT       written to standard output, then a line end; \n in it
//                       stands for one more (default none)
//     output:CLASS=TEXT the same, for one class
//     hang=1            never end (hang:CLASS=1 for one class)
//     errors=TEXT       written to standard error (default none)
//     hang=1            never end (hang:CLASS=1 for one class)
//     child=1           start a copy of itself that never ends, then go on
//     relaunch=MS       start a copy of itself with the same command line and go
//                       on; the copy waits that long, then runs as a VM would
//                       (logged with relaunched=1) and ends with 0
//     delay=MS          wait that long before answering
//   java.exe.log  appended for each run: the command line, the arguments, the
//                 working directory, CLASSPATH, RADAD_LAUNCHER, the class and its
//                 file as found, the DACL of the class directory, whether it
//                 runs in a job, whether it is a relaunched copy, and how many
//                 pipe handles it holds (inherited ones: it opens none itself).
#include "TestProgram.h"

#include <sddl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string setting(const std::string& config, const std::string& key,
                    const std::string& fallback) {
    std::size_t start = 0;
    while (start < config.size()) {
        std::size_t end = config.find('\n', start);
        if (end == std::string::npos)
            end = config.size();
        std::string line = config.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.compare(0, key.size() + 1, key + "=") == 0)
            return line.substr(key.size() + 1);
        start = end + 1;
    }
    return fallback;
}

std::string readAll(const std::string& path) {
    std::string text;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        std::size_t count;
        while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            text.append(buffer, count);
        std::fclose(file);
    }
    return text;
}

unsigned long fnv1a(const std::string& bytes) {
    unsigned long hash = 2166136261ul;
    for (unsigned char c : bytes)
        hash = (hash ^ c) * 16777619ul & 0xFFFFFFFFul;
    return hash;
}

// Handles are multiples of 4; a process that inherited few has them low.
int pipeHandles() {
    int count = 0;
    for (ULONG_PTR value = 4; value < 4096; value += 4) {
        HANDLE handle = reinterpret_cast<HANDLE>(value);
        DWORD flags = 0;
        if (GetHandleInformation(handle, &flags) && GetFileType(handle) == FILE_TYPE_PIPE)
            ++count;
    }
    return count;
}

// The DACL of a file or folder in SDDL, as Windows reports it.
std::string dacl(const std::string& path) {
    char buffer[4096];
    DWORD needed = 0;
    char* text = nullptr;
    if (!GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, buffer, sizeof buffer,
                          &needed) ||
        !ConvertSecurityDescriptorToStringSecurityDescriptorA(
            buffer, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr))
        return "(unknown)";
    std::string result = text;
    LocalFree(text);
    return result;
}

constexpr char kRelaunchedVariable[] = "FAKEVM_RELAUNCHED";

} // namespace

int main(int argc, char** argv) {
    const std::string self = ownPath();
    if (argc == 2 && std::strcmp(argv[1], "--child") == 0)
        for (;;)
            Sleep(1000);
    const std::string config = readAll(self + ".cfg");
    const bool relaunched = std::getenv(kRelaunchedVariable) != nullptr;
    if (relaunched)
        Sleep(static_cast<DWORD>(std::atoi(setting(config, "relaunch", "0").c_str())));

    // java.exe takes the class first; jre.exe and jview.exe after a class path.
    std::string classPath, className;
    int classIndex = 1;
    if (argc > 2 && (std::strcmp(argv[1], "-cp") == 0 || std::strcmp(argv[1], "-cp:p") == 0)) {
        classPath = argv[2];
        classIndex = 3;
    }
    if (classIndex < argc)
        className = argv[classIndex];

    char cwd[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof cwd, cwd);
    const char* classpathVariable = std::getenv("CLASSPATH");
    // As java.exe does: the class path of the command line, else CLASSPATH, else
    // the working directory. A relative one (".") is left to the system to resolve.
    std::string directory = !classPath.empty()             ? classPath
                            : classpathVariable != nullptr ? std::string(classpathVariable)
                                                           : std::string(cwd);
    if (!directory.empty() && directory.back() != '\\')
        directory += '\\';
    std::string classFile = directory + className + ".class";
    DWORD attributes = GetFileAttributesA(classFile.c_str());
    bool found = attributes != INVALID_FILE_ATTRIBUTES;
    std::string classBytes = found ? readAll(classFile) : std::string();

    if (std::FILE* log = std::fopen((self + ".log").c_str(), "ab")) {
        std::fprintf(log, "run\ncommandline=%s\ncwd=%s\n", GetCommandLineA(), cwd);
        for (int i = 1; i < argc; ++i)
            std::fprintf(log, "arg=%s\n", argv[i]);
        const char* launcher = std::getenv("RADAD_LAUNCHER");
        std::fprintf(log, "classpathvar=%s\nlauncher=%s\nclass=%s\nclassfile=%s\n",
                     classpathVariable ? classpathVariable : "(none)",
                     launcher ? launcher : "(none)", className.c_str(),
                     found ? classFile.c_str() : "(missing)");
        std::fprintf(log, "folderdacl=%s\n", dacl(directory).c_str());
        BOOL inJob = FALSE;
        IsProcessInJob(GetCurrentProcess(), nullptr, &inJob);
        std::fprintf(log, "classsize=%u\nclasshash=%08lx\ninjob=%d\nrelaunched=%d\npipes=%d\nend\n",
                     static_cast<unsigned>(classBytes.size()), fnv1a(classBytes), inJob ? 1 : 0,
                     relaunched ? 1 : 0, pipeHandles());
        std::fclose(log);
    }

    if (relaunched)
        return 0;
    if (setting(config, "relaunch", "") != "") {
        SetEnvironmentVariableA(kRelaunchedVariable, "1");
        StartedProgram copy;
        startProgram(GetCommandLineA(), false, DETACHED_PROCESS, copy);
        SetEnvironmentVariableA(kRelaunchedVariable, nullptr);
    }
    if (setting(config, "child", "0") == "1") {
        StartedProgram child;
        startProgram(quoteArgument(self) + " --child", false, DETACHED_PROCESS, child);
    }
    Sleep(static_cast<DWORD>(std::atoi(setting(config, "delay", "0").c_str())));
    std::string output = setting(config, "output:" + className, setting(config, "output", ""));
    // "\n" in the text stands for a line end, as the probe's two lines need.
    for (std::size_t at; (at = output.find("\\n")) != std::string::npos;)
        output.replace(at, 2, "\n");
    if (!output.empty()) {
        std::fputs(output.c_str(), stdout);
        std::fputs("\n", stdout);
        std::fflush(stdout);
    }
    std::string errors = setting(config, "errors", "");
    if (!errors.empty()) {
        std::fputs(errors.c_str(), stderr);
        std::fputs("\n", stderr);
        std::fflush(stderr);
    }
    if (setting(config, "hang:" + className, setting(config, "hang", "0")) == "1")
        for (;;)
            Sleep(1000);
    return std::atoi(
        setting(config, "status:" + className, setting(config, "status", "159")).c_str());
}
