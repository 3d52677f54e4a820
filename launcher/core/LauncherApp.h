//===- LauncherApp.h - The launcher's run state and flow ------------------===//
//
// One static object, theApp, holds everything a run of the launcher knows: its
// mode and options, the requirement string, the run's folder, the texts taken
// from the payload, the payload table, the VM list and the exit code. The
// dialogs reach it through app().
//
//===----------------------------------------------------------------------===//
#pragma once

#include "BoundedText.h"
#include "CException.h"
#include "Path.h"
#include "Payload.h"
#include "ScopedHandle.h"
#include "VmList.h"
#include "WindowsApi.h"

// The exit code when no Java VM qualifies: in quiet mode, and after the no-VM
// dialog's download or save, which install nothing either. Bit 29 marks a code
// of an application's own: no Windows error and no Windows Installer code has it.
constexpr DWORD kExitNoQualifyingVm = 0x20000001;

class LauncherApp {
public:
    // Defined out of line, so that it is no constant expression: a constant one
    // would put theApp, buffers and all, into the program's initialised data
    // (some 3 KB of the file) instead of zeroed memory.
    LauncherApp();
    virtual ~LauncherApp() = default;
    LauncherApp(const LauncherApp&) = delete;
    LauncherApp& operator=(const LauncherApp&) = delete;

    // Fails with the first failure of a file or resource call that nothing on
    // the way handled; the run then ends, after the clean-up, without a message,
    // with ERROR_INSTALL_FAILURE. Otherwise exitCode says how the run ended.
    CException start(const char* commandTail);
    void cleanUp();

    // acceptable is false when the payload is not one the launcher takes.
    CException readPayload(bool& acceptable);
    CException runInteractive();
    // /quiet: the installer under the VM the dialog would preselect, no window.
    CException runQuietly();
    void runListMode();
    // The user ended the dialogs without installing.
    void userCancelled();

    // Makes this run's own folder in the temporary directory, under a name that
    // did not exist before, into runDirectory. Fails when it cannot.
    CException makeRunDirectory();
    CException writeProbeClass();
    void deleteProbeClass();
    bool probeClassPath(char (&out)[kMaxPath]) const;
    bool lockPath(char (&out)[kMaxPath]) const;
    // Names a file about to be written into the run's folder, for a later
    // launcher to remove should this one be ended before it does.
    void nameInLock(const char* fileName);

    // Loads string id, formats it with the arguments and shows it in a message
    // box under the caption. Returns the box's answer.
    int showMessage(HWND owner, UINT stringId, UINT type, ...);
    // Loads string id and formats it with the arguments into out, cut to size.
    void formatString(char* out, std::size_t size, UINT stringId, ...);

    // Writes the payload into the run's folder, starts the installer class under
    // vm, hides owner and waits until the last process of the installer's job
    // has ended, handling the thread's messages meanwhile; exitCode becomes the
    // installer VM's own. Called from the dialogs, which cannot return a failure:
    // when the payload cannot be written the installer is not started, and the
    // failure is held for whoever opened the dialogs. False when the VM cannot be
    // started: the user was told (unless quiet), and may choose another.
    bool runInstaller(HWND owner, JavaVm& vm);

    HINSTANCE instance = nullptr;
    // 1 without a requirement string on the command line: the installation.
    int interactive = 0;
    bool quiet = false;
    // What the installer class gets after its name; null for nothing.
    const char* installerArguments = nullptr;
    DWORD exitCode = 0;
    char requirement[kMaxText] = {};
    // This run's folder in the temporary directory, with its trailing backslash: the class
    // directory of every VM run, and where the probe class, the payload's files
    // and the VMs' output files are written.
    char runDirectory[kMaxPath] = {};
    char caption[kMaxText] = {};
    char installerFileName[kMaxText] = {};
    char downloadAddress[kMaxText] = {};
    Payload payload;
    VmList vmList;

private:
    // runInstaller's failure, for runInteractive to return once the dialogs are gone.
    CException heldFailure;
    // Held without delete sharing while the launcher runs: a later launcher
    // takes a folder whose lock it can delete for one left behind.
    UniqueFileHandle lock;
    bool probeClassWritten = false;
    bool runDirectoryMade = false;
    bool commandTailTooLong = false;
};

LauncherApp& app();
