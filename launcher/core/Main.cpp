// Entry point of the launcher: every run ends in the clean-up and an exit code
// that says how it ended, whatever happened on the way.
#include "LateBound.h"
#include "LaunchLog.h"
#include "LauncherApp.h"

namespace {

// LOAD_LIBRARY_SEARCH_SYSTEM32, which the headers for Windows XP do not define.
constexpr DWORD kSearchSystemDirectoryOnly = 0x800;

// shell32, comdlg32 and ole32 are loaded at their first call, and they load
// further DLLs in turn; the normal search order would look for all of them in
// the launcher's own folder first, which for an installer is usually Downloads,
// where a DLL of a matching name may have been planted. From here on only the
// system directory is searched. Looked up at run time: Windows 7 before its
// update KB2533623 and older systems do not have the call, and start as before.
void searchDllsInSystemDirectoryOnly() {
    using SetDefaultDllDirectoriesCall = BOOL(WINAPI*)(DWORD);
    const auto call = kernel32Function<SetDefaultDllDirectoriesCall>("SetDefaultDllDirectories");
    if (call != nullptr)
        call(kSearchSystemDirectoryOnly);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandTail, int) {
    searchDllsInSystemDirectoryOnly();
    // No box from Windows itself while the launcher and its probes look for VMs:
    // a PATH element on a card reader without its card, a registered VM that
    // lacks a DLL or crashes. The probes inherit the mode; the installer does not.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    LauncherApp& launcher = app();
    launcher.instance = instance;
    // A failure that nothing on the way handled ends the run here, without a
    // message: radad itself failed.
    if (launcher.start(commandTail))
        launcher.exitCode = ERROR_INSTALL_FAILURE;
    launcher.cleanUp();
    // List mode's output stays what it always was.
    if (launcher.interactive)
        sayLastLineOnStandardError();
    return static_cast<int>(launcher.exitCode);
}
