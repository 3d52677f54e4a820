#include "JavaVm.h"

#include "BoundedText.h"
#include "FileSystem.h"
#include "LauncherApp.h"
#include "VmCommandLine.h"

#include <memory>
#include <new>

namespace {

constexpr char kProbeClass[] = "QvxVersion";

} // namespace

bool JavaVm::adoptWhenNamed(const char* executableName, const char* fullPath,
                            const char* fileName) {
    if (!equalsIgnoringCase(fileName, executableName))
        return false;
    return copyText(path, fullPath);
}

const char* JavaVm::classPathFor(const char* classDirectory) {
    return systemCodePageSpells(classDirectory) ? classDirectory : ".";
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
    if (!isAbsolutePath(home) || !joinPath(home, "Bin") || !joinPath(home, executableName))
        return false;
    return locateAt(home);
}

bool JavaVm::qualify(const char* requirement) {
    VmRun run;
    if (!startProbe(run, requirement, kOutputFileName))
        return false;
    HANDLE process = run.process();
    waitHandlingMessages(&process, 1, kProbeTimeoutMs);
    return run.finish() == kQualifiedStatus;
}

bool JavaVm::startProbe(VmRun& run, const char* requirement, const char* outputName) {
    return startClass(run, app().runDirectory, kProbeClass, requirement, outputName, true);
}

bool JavaVm::start(VmRun& run, const char* arguments, const char* environment,
                   const char* workingDirectory, const char* outputDirectory,
                   const char* outputName, bool contained) noexcept {
    char commandLine[kMaxCommandLine];
    return buildCommandLine(path, arguments, commandLine, sizeof commandLine) &&
           run.start(commandLine, environment, workingDirectory, outputDirectory, outputName,
                     contained);
}

bool JdkVm::matchExecutable(const char* fullPath, const char* fileName) {
    return adoptWhenNamed("java.exe", fullPath, fileName);
}

bool JdkVm::locate() {
    return locateRegistered("Software\\JavaSoft\\Java Development Kit", "java.exe");
}

bool JdkVm::startClass(VmRun& run, const char* classDirectory, const char* className,
                       const char* arguments, const char* outputName, bool contained) {
    char tail[kMaxTail];
    if (!buildClassTail(nullptr, classDirectory, className, arguments, tail, sizeof tail))
        return false;

    // java.exe finds the class through its working directory; CLASSPATH is set
    // to the same directory, because a CLASSPATH of the user's own would hide it.
    const char* classPath = classPathFor(classDirectory);
    LPCH inherited = GetEnvironmentStringsA();
    std::size_t needed = environmentWith(inherited, "CLASSPATH", classPath, nullptr, 0);
    std::unique_ptr<char[]> environment(new (std::nothrow) char[needed]);
    if (environment)
        environmentWith(inherited, "CLASSPATH", classPath, environment.get(), needed);
    FreeEnvironmentStringsA(inherited);
    return start(run, tail, environment.get(), classDirectory, classDirectory, outputName,
                 contained);
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

bool JreVm::startClass(VmRun& run, const char* classDirectory, const char* className,
                       const char* arguments, const char* outputName, bool contained) {
    // jre.exe runs in the launcher's own current directory, but where its class
    // path is "." that must be the class directory.
    const char* classPath = classPathFor(classDirectory);
    char tail[kMaxTail];
    return buildClassTail("-cp ", classPath, className, arguments, tail, sizeof tail) &&
           start(run, tail, nullptr, classPath == classDirectory ? nullptr : classDirectory,
                 classDirectory, outputName, contained);
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

bool JviewVm::startClass(VmRun& run, const char* classDirectory, const char* className,
                         const char* arguments, const char* outputName, bool contained) {
    char tail[kMaxTail];
    return buildClassTail("-cp:p ", classPathFor(classDirectory), className, arguments, tail,
                          sizeof tail) &&
           start(run, tail, nullptr, classDirectory, classDirectory, outputName, contained);
}
