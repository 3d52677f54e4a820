#include "LauncherApp.h"

#include "BoundedText.h"
#include "DialogSupport.h"
#include "FileSystem.h"
#include "LaunchLog.h"
#include "LaunchOptions.h"
#include "RunFolder.h"
#include "resource.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

LauncherApp theApp;

void formatLoaded(HINSTANCE instance, UINT stringId, char* out, std::size_t size,
                  std::va_list args) {
    char format[1024] = {};
    LoadStringA(instance, stringId, format, sizeof format);
    formatText(out, size, format, args);
}

// Where the installer's VM finds the launcher that the user started.
constexpr char kLauncherVariable[] = "RADAD_LAUNCHER";

// The folder browser and ShellExecuteA of the no-VM dialog want COM on the
// calling thread, the browser in a single-threaded apartment. A thread that
// cannot have it still shows the dialogs: the shell then makes do without.
class ComApartment {
public:
    ComApartment() : entered_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComApartment() {
        if (SUCCEEDED(entered_))
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    HRESULT entered_;
};

} // namespace

LauncherApp::LauncherApp() = default;

LauncherApp& app() {
    return theApp;
}

CException LauncherApp::start(const char* commandTail) {
    // One inherited from an installer that started this launcher is not for the
    // probes to see.
    SetEnvironmentVariableA(kLauncherVariable, nullptr);
    LaunchOptions options;
    const TailKind kind = readCommandTail(commandTail, options);
    interactive = kind != TailKind::Requirement;
    quiet = options.quiet;
    installerArguments = options.installerArguments;
    // A requirement string that does not fit is refused whole: a cut one could
    // accept VMs that the whole one does not.
    if (!interactive && !copyText(requirement, commandTail))
        commandTailTooLong = true;
    LoadStringA(instance, IDS_CAPTION, caption, sizeof caption);
    if (options.logFile[0] != '\0' && !openLog(options.logFile)) {
        exitCode = ERROR_INSTALL_LOG_FAILURE;
        logLine(GetLastError(), "cannot open the log %s", options.logFile);
        return {};
    }
    logLine(0, "started: %s", GetCommandLineA());
    if (kind == TailKind::Invalid) {
        exitCode = ERROR_INVALID_COMMAND_LINE;
        char usage[kMaxText] = {};
        LoadStringA(instance, IDS_OPTIONS_USAGE, usage, sizeof usage);
        logLine(0, "an option that radad does not know: %s", usage);
        if (!quiet)
            MessageBoxA(nullptr, usage, caption, MB_ICONINFORMATION);
        return {};
    }
    if (CException failure = makeRunDirectory()) {
        logLine(failure.errorCode, "cannot make a folder for the run");
        return failure;
    }
    if (CException failure = writeProbeClass()) {
        logLine(failure.errorCode, "cannot write the probe class into %s", runDirectory);
        return failure;
    }
    if (interactive)
        return runInteractive();
    runListMode();
    return {};
}

CException LauncherApp::runInteractive() {
    bool acceptable = false;
    if (CException failure = readPayload(acceptable)) {
        logLine(failure.errorCode, "cannot read the payload");
        return failure;
    }
    if (!acceptable) {
        exitCode = ERROR_INSTALL_PACKAGE_INVALID;
        logLine(0, "no acceptable payload: its first records must be CommandLine, URL and the "
                   "installer class, the texts within 260 bytes");
        if (!quiet) {
            char text[kMaxText] = {};
            LoadStringA(instance, IDS_USAGE, text, sizeof text);
            MessageBoxA(nullptr, text, caption, MB_ICONINFORMATION);
        }
        return {};
    }
    logLine(0, "payload accepted: requirement %s, download address %s, installer %s", requirement,
            downloadAddress, installerFileName);
    if (quiet)
        return runQuietly();
    // What a dialog that ends in any other way than those below leaves.
    exitCode = ERROR_INSTALL_USEREXIT;
    ComApartment apartment;
    if (DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_VM_CHOICE), nullptr, vmChoiceDialogProc,
                        0) == -1)
        return CException(GetLastError());
    return heldFailure;
}

CException LauncherApp::runQuietly() {
    vmList.search(requirement);
    JavaVm* chosen = vmList.preselected();
    if (chosen == nullptr) {
        exitCode = kExitNoQualifyingVm;
        logLine(0, "no Java VM qualifies for %s", requirement);
    } else if (!runInstaller(nullptr, *chosen)) {
        exitCode = ERROR_INSTALL_FAILURE;
    }
    return heldFailure;
}

void LauncherApp::userCancelled() {
    exitCode = ERROR_INSTALL_USEREXIT;
    logLine(0, "the user cancelled the installation");
}

void LauncherApp::runListMode() {
    if (commandTailTooLong)
        return;
    vmList.searchAndReport(requirement);
}

CException LauncherApp::readPayload(bool& acceptable) {
    acceptable = false;
    if (CException failure = payload.scan(instance))
        return failure;
    PayloadRecord* first = payload.record(0);
    PayloadRecord* second = payload.record(1);
    PayloadRecord* third = payload.record(2);
    if (!payload::isAcceptableLayout(first ? first->name : nullptr, second ? second->name : nullptr,
                                     third != nullptr))
        return {};

    // Texts without their NUL within the buffer make the payload unacceptable
    // rather than being cut.
    char text[payload::kTextBufferSize];
    char address[payload::kTextBufferSize];
    bool terminated = false;
    CException failure = first->readText(payload.file, text, terminated);
    if (!failure && terminated)
        failure = second->readText(payload.file, address, terminated);
    if (failure || !terminated)
        return failure;
    copyText(requirement, text);
    copyText(downloadAddress, address);
    copyText(installerFileName, third->name);
    acceptable = true;
    return {};
}

CException LauncherApp::makeRunDirectory() {
    char tempDirectory[kMaxPath] = {};
    getTempDirectory(tempDirectory);
    removeLeftRunFolders(tempDirectory);
    SECURITY_ATTRIBUTES security = {sizeof security, runFolderSecurity(), FALSE};
    if (security.lpSecurityDescriptor == nullptr)
        return CException(GetLastError());
    // Another launcher started at the same moment, or a folder planted under a
    // name one could guess, makes CreateDirectoryA fail: then the next name.
    DWORD error = ERROR_ALREADY_EXISTS;
    DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
    for (int attempt = 0; attempt < 100 && error == ERROR_ALREADY_EXISTS;
         ++attempt, seed = seed * 69069 + 1) {
        char name[kRunFolderNameSize];
        runFolderName(seed, name);
        if (!copyText(runDirectory, tempDirectory) || !joinPath(runDirectory, name) ||
            !ensureTrailingBackslash(runDirectory)) {
            error = ERROR_FILENAME_EXCED_RANGE;
            break;
        }
        error = CreateDirectoryA(runDirectory, &security) ? ERROR_SUCCESS : GetLastError();
        if (error == ERROR_FILE_EXISTS)
            error = ERROR_ALREADY_EXISTS;
    }
    LocalFree(security.lpSecurityDescriptor);
    if (error != ERROR_SUCCESS)
        return CException(error);
    runDirectoryMade = true;
    // Handed to the installer's VM alone (the probes get no inheritable handle
    // but their output on every Windows with handle lists).
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    char path[kMaxPath];
    if (!lockPath(path))
        return CException(ERROR_FILENAME_EXCED_RANGE);
    lock.reset(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, &inheritable, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!lock)
        return CException(GetLastError());
    logLine(0, "the run's folder is %s", runDirectory);
    return {};
}

bool LauncherApp::lockPath(char (&out)[kMaxPath]) const {
    return copyText(out, runDirectory) && joinPath(out, kLockFileName);
}

void LauncherApp::nameInLock(const char* fileName) {
    DWORD written = 0;
    WriteFile(lock.get(), fileName, static_cast<DWORD>(std::strlen(fileName) + 1), &written,
              nullptr);
}

bool LauncherApp::probeClassPath(char (&out)[kMaxPath]) const {
    return copyText(out, runDirectory) && joinPath(out, "QvxVersion.class");
}

CException LauncherApp::writeProbeClass() {
    char path[kMaxPath];
    if (!probeClassPath(path))
        return CException(ERROR_FILENAME_EXCED_RANGE);
    HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(IDR_PROBE_CLASS), "JAVACLASS");
    if (resource == nullptr)
        return CException(GetLastError());
    DWORD size = SizeofResource(nullptr, resource);
    HGLOBAL loaded = LoadResource(nullptr, resource);
    if (loaded == nullptr)
        return CException(GetLastError());
    const void* bytes = LockResource(loaded);

    WinFile file;
    if (CException failure = file.createForWriting(path))
        return failure;
    probeClassWritten = true;
    nameInLock("QvxVersion.class");
    return file.write(bytes, size);
}

void LauncherApp::deleteProbeClass() {
    char path[kMaxPath];
    if (probeClassWritten && probeClassPath(path))
        std::remove(path);
}

void LauncherApp::cleanUp() {
    payload.deleteAll(runDirectory, 0);
    payload.closeFile();
    deleteProbeClass();
    // The lock goes last, so that a launcher ended on the way leaves a folder that
    // a later one recognises as left behind. Only an empty folder is removed:
    // files an installer wrote into its working directory stay where it put them.
    if (runDirectoryMade) {
        lock.reset();
        char path[kMaxPath];
        if (lockPath(path))
            DeleteFileA(path);
        RemoveDirectoryA(runDirectory);
    }
}

int LauncherApp::showMessage(HWND owner, UINT stringId, UINT type, ...) {
    char message[1024];
    std::va_list args;
    va_start(args, type);
    formatLoaded(instance, stringId, message, sizeof message, args);
    va_end(args);
    return MessageBoxA(owner, message, caption, type);
}

void LauncherApp::formatString(char* out, std::size_t size, UINT stringId, ...) {
    std::va_list args;
    va_start(args, stringId);
    formatLoaded(instance, stringId, out, size, args);
    va_end(args);
}

bool LauncherApp::runInstaller(HWND owner, JavaVm& vm) {
    char className[kMaxText];
    copyText(className, installerFileName);
    stripExtension(className);

    ShowCursor(TRUE);
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    for (std::size_t slot = 0; PayloadRecord* record = payload.record(slot); ++slot)
        nameInLock(record->name);
    // A failure leaves the wait cursor counted: the run ends with it.
    if (CException failure = payload.extractAll(runDirectory, 0)) {
        logLine(failure.errorCode, "cannot write the payload's files into %s", runDirectory);
        heldFailure = failure;
        return true;
    }
    ShowCursor(FALSE);

    // The installer learns where the launcher the user started lies (its other
    // files are often beside it); a probe never sees the variable.
    char self[kMaxPath] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    SetEnvironmentVariableA(kLauncherVariable, self);
    VmRun run;
    // While the installer runs, it holds the lock too: a launcher ended by force
    // leaves a folder that its installer still uses.
    run.inheritAlso(logFile(), lock.get());
    // What a command line too long for its buffer fails with, as CreateProcess would.
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    const bool started =
        vm.startClass(run, runDirectory, className, installerArguments, kOutputFileName, false);
    const DWORD error = GetLastError();
    SetEnvironmentVariableA(kLauncherVariable, nullptr);
    if (!started) {
        char description[600];
        describeError(error, description, sizeof description);
        logLine(0, "cannot start the installer under %s (%s)", vm.path, description);
        if (!quiet)
            showMessage(owner, IDS_CANNOT_START_VM, MB_ICONWARNING, vm.path, description);
        return false;
    }
    // The installer takes as long as its user does, and needs its files until
    // the last process of its job ends: the dialogs step aside, and the clean-up
    // waits for it. Once the dialog is hidden the launcher is no longer in the
    // foreground; the installer's first window may come to the front all the same.
    AllowSetForegroundWindow(GetProcessId(run.process()));
    ShowWindow(owner, SW_HIDE);
    exitCode = run.waitForJob();
    logLine(0, "the installer ended with exit code %lu", exitCode);
    run.finish();
    return true;
}
