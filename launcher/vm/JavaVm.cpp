#include "JavaVm.h"

#include "BoundedText.h"
#include "FileSystem.h"
#include "LauncherApp.h"
#include "ScopedHandle.h"
#include "VmCommandLine.h"

#include <memory>
#include <new>

namespace {

constexpr DWORD kRunTimeoutMs = 20000;
constexpr char kOutputFile[] = "\\stdout.tmp";
constexpr char kProbeClass[] = "QvxVersion";

// Keeps the working directory that a run changes, and puts it back.
class WorkingDirectory {
public:
    WorkingDirectory() { saved_ = GetCurrentDirectoryA(sizeof path_, path_); }
    void restore() const {
        if (saved_ > 0 && saved_ < sizeof path_)
            SetCurrentDirectoryA(path_);
    }

private:
    char path_[kMaxPath] = {};
    DWORD saved_ = 0;
};

} // namespace

bool JavaVm::adoptWhenNamed(const char* executableName, const char* fullPath,
                            const char* fileName) {
    if (!equalsIgnoringCase(fileName, executableName))
        return false;
    return copyText(path, fullPath);
}

bool JavaVm::locateAt(const char* candidate) {
    return fileExists(candidate) && copyText(path, candidate);
}

bool JavaVm::locateRegistered(const char* key, const char* executableName) {
    char version[kMaxPath] = {};
    if (!readRegistryString(HKEY_LOCAL_MACHINE, key, "CurrentVersion", version, sizeof version))
        return false;
    char versionKey[kMaxPath];
    if (!copyText(versionKey, key) || !joinPath(versionKey, version))
        return false;
    char home[kMaxPath] = {};
    if (!readRegistryString(HKEY_LOCAL_MACHINE, versionKey, "JavaHome", home, sizeof home))
        return false;
    if (!joinPath(home, "Bin") || !joinPath(home, executableName))
        return false;
    return locateAt(home);
}

bool JavaVm::qualify(const char* requirement) {
    return runClass(app().tempDirectory, kProbeClass, requirement) == kQualifiedStatus;
}

int JavaVm::run(const char* arguments, const char* environment) {
    char commandLine[kMaxCommandLine];
    if (!buildCommandLine(path, arguments, commandLine, sizeof commandLine))
        return kStartFailed;

    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    // Shared for deletion only: no other program reads or writes it meanwhile, but
    // it can be removed after the run even while a VM that hangs still holds it.
    UniqueFileHandle output(CreateFileA(kOutputFile, GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_DELETE, &inheritable, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output ? output.get() : nullptr;
    PROCESS_INFORMATION started = {};
    BOOL ok = CreateProcessA(nullptr, commandLine, nullptr, nullptr, TRUE, DETACHED_PROCESS,
                             const_cast<char*>(environment), nullptr, &startup, &started);
    if (!ok) {
        bool created = static_cast<bool>(output);
        output.reset();
        if (created)
            DeleteFileA(kOutputFile);
        return kStartFailed;
    }
    UniqueHandle process(started.hProcess);
    UniqueHandle thread(started.hThread);

    WaitForSingleObject(process.get(), kRunTimeoutMs);
    DWORD status = 0;
    if (!GetExitCodeProcess(process.get(), &status))
        status = 0;

    char mark = 'X';
    if (output) {
        DWORD read = 0;
        SetFilePointer(output.get(), 0, nullptr, FILE_BEGIN);
        if (!ReadFile(output.get(), &mark, 1, &read, nullptr) || read != 1)
            mark = 'X';
        output.reset();
        DeleteFileA(kOutputFile);
    }
    return mark == 'T' ? kQualifiedStatus : static_cast<int>(status);
}

bool JdkVm::matchExecutable(const char* fullPath, const char* fileName) {
    return adoptWhenNamed("java.exe", fullPath, fileName);
}

bool JdkVm::locate() {
    return locateRegistered("Software\\JavaSoft\\Java Development Kit", "java.exe");
}

int JdkVm::runClass(const char* classDirectory, const char* className, const char* arguments) {
    char tail[kMaxTail];
    if (!buildClassTail(nullptr, classDirectory, className, arguments, tail, sizeof tail))
        return kStartFailed;

    // java.exe finds the class through its working directory; CLASSPATH is set
    // to the same directory, because a CLASSPATH of the user's own would hide it.
    LPCH inherited = GetEnvironmentStringsA();
    std::size_t needed = environmentWith(inherited, "CLASSPATH", classDirectory, nullptr, 0);
    std::unique_ptr<char[]> environment(new (std::nothrow) char[needed]);
    if (environment)
        environmentWith(inherited, "CLASSPATH", classDirectory, environment.get(), needed);
    FreeEnvironmentStringsA(inherited);

    WorkingDirectory saved;
    SetCurrentDirectoryA(classDirectory);
    int result = run(tail, environment.get());
    saved.restore();
    return result;
}

FoundVm::FoundVm(const char* fullPath) {
    copyText(path, fullPath);
}

bool FoundVm::locate() {
    return path[0] != '\0';
}

bool JreVm::matchExecutable(const char* fullPath, const char* fileName) {
    return adoptWhenNamed("jre.exe", fullPath, fileName);
}

bool JreVm::locate() {
    return locateRegistered("Software\\JavaSoft\\Java Runtime Environment", "jre.exe");
}

int JreVm::runClass(const char* classDirectory, const char* className, const char* arguments) {
    char tail[kMaxTail];
    if (!buildClassTail("-cp ", classDirectory, className, arguments, tail, sizeof tail))
        return kStartFailed;
    return run(tail, nullptr);
}

bool JviewVm::matchExecutable(const char* fullPath, const char* fileName) {
    return adoptWhenNamed("jview.exe", fullPath, fileName);
}

bool JviewVm::locate() {
    char candidate[kMaxPath] = {};
    UINT length = GetWindowsDirectoryA(candidate, sizeof candidate);
    if (length == 0 || length >= sizeof candidate || !joinPath(candidate, "jview.exe"))
        return false;
    return locateAt(candidate);
}

int JviewVm::runClass(const char* classDirectory, const char* className, const char* arguments) {
    char tail[kMaxTail];
    if (!buildClassTail("-cp:p ", classDirectory, className, arguments, tail, sizeof tail))
        return kStartFailed;
    SetCurrentDirectoryA(classDirectory);
    return run(tail, nullptr);
}
