#include "LauncherApp.h"

#include "BoundedText.h"
#include "DialogSupport.h"
#include "FileSystem.h"
#include "resource.h"

#include <cstdarg>
#include <cstdio>

namespace {

LauncherApp theApp;

void formatLoaded(HINSTANCE instance, UINT stringId, char* out, std::size_t size,
                  std::va_list args) {
    char format[1024] = {};
    LoadStringA(instance, stringId, format, sizeof format);
    formatText(out, size, format, args);
}

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
    if (commandTail == nullptr || *commandTail == '\0')
        interactive = 1;
    // A requirement string that does not fit is refused whole: a cut one could
    // accept VMs that the whole one does not.
    if (commandTail != nullptr && !copyText(requirement, commandTail))
        commandTailTooLong = true;
    LoadStringA(instance, IDS_CAPTION, caption, sizeof caption);
    if (CException failure = makeRunDirectory())
        return failure;
    if (CException failure = writeProbeClass())
        return failure;
    if (interactive)
        return runInteractive();
    runListMode();
    return {};
}

CException LauncherApp::runInteractive() {
    bool acceptable = false;
    if (CException failure = readPayload(acceptable))
        return failure;
    if (!acceptable) {
        char text[kMaxText] = {};
        LoadStringA(instance, IDS_USAGE, text, sizeof text);
        MessageBoxA(nullptr, text, caption, MB_ICONINFORMATION);
        return {};
    }
    ComApartment apartment;
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_VM_CHOICE), nullptr, vmChoiceDialogProc, 0);
    return heldFailure;
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
    // Another launcher started at the same moment, or a folder planted under a
    // name one could guess, makes CreateDirectoryA fail: then the next name.
    char tempDirectory[kMaxPath] = {};
    getTempDirectory(tempDirectory);
    DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
    for (int attempt = 0; attempt < 100; ++attempt, seed = seed * 69069 + 1) {
        char name[] = "radad-00000000";
        for (int digit = 0; digit < 8; ++digit)
            name[6 + digit] = "0123456789abcdef"[(seed >> (28 - 4 * digit)) & 0xF];
        if (!copyText(runDirectory, tempDirectory) || !joinPath(runDirectory, name) ||
            !ensureTrailingBackslash(runDirectory))
            return CException(ERROR_FILENAME_EXCED_RANGE);
        if (CreateDirectoryA(runDirectory, nullptr)) {
            runDirectoryMade = true;
            return {};
        }
        DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS)
            return CException(error);
    }
    return CException(ERROR_ALREADY_EXISTS);
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
    // Only an empty folder is removed: files an installer wrote into its working
    // directory stay where it put them.
    if (runDirectoryMade)
        RemoveDirectoryA(runDirectory);
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

void LauncherApp::runInstaller(HWND owner, JavaVm& vm) {
    char className[kMaxText];
    copyText(className, installerFileName);
    stripExtension(className);

    ShowCursor(TRUE);
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    // A failure leaves the wait cursor counted: the run ends with it.
    if (CException failure = payload.extractAll(runDirectory, 0)) {
        heldFailure = failure;
        return;
    }
    ShowCursor(FALSE);

    // The installer takes as long as its user does, and needs its files until it
    // ends: the dialogs step aside, and the clean-up waits for it.
    VmRun run;
    if (vm.startClass(run, runDirectory, className, nullptr, kOutputFileName, false)) {
        // Once the dialog is hidden the launcher is no longer in the foreground;
        // the installer's first window may come to the front all the same.
        AllowSetForegroundWindow(GetProcessId(run.process()));
        ShowWindow(owner, SW_HIDE);
        HANDLE process = run.process();
        waitHandlingMessages(&process, 1, INFINITE);
        run.finish();
    }
}
