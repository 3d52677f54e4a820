//===- LauncherApp.h - The launcher's run state and flow ------------------===//
//
// One static object, theApp, holds everything a run of the launcher knows: its
// mode, the requirement string, the temporary directory, the texts taken from
// the payload, the payload table and the VM list. The dialogs reach it through
// app().
//
//===----------------------------------------------------------------------===//
#pragma once

#include "BoundedText.h"
#include "CException.h"
#include "Path.h"
#include "Payload.h"
#include "VmList.h"
#include "WindowsApi.h"

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
    // the way handled; the run then ends, after the clean-up, without a message.
    CException start(const char* commandTail);
    void cleanUp();

    // acceptable is false when the payload is not one the launcher takes.
    CException readPayload(bool& acceptable);
    CException runInteractive();
    void runListMode();

    // Makes this run's own folder in the temporary directory, under a name that
    // did not exist before, into runDirectory. Fails when it cannot.
    CException makeRunDirectory();
    CException writeProbeClass();
    void deleteProbeClass();
    bool probeClassPath(char (&out)[kMaxPath]) const;

    // Loads string id, formats it with the arguments and shows it in a message
    // box under the caption. Returns the box's answer.
    int showMessage(HWND owner, UINT stringId, UINT type, ...);
    // Loads string id and formats it with the arguments into out, cut to size.
    void formatString(char* out, std::size_t size, UINT stringId, ...);

    // Writes the payload into the run's folder, starts the installer class under
    // vm, hides owner and waits for the installer's VM to end, handling the
    // thread's messages meanwhile. Called from the dialogs, which cannot return a
    // failure: when the payload cannot be written the installer is not started,
    // and the failure is held for whoever opened the dialogs.
    void runInstaller(HWND owner, JavaVm& vm);

    HINSTANCE instance = nullptr;
    int interactive = 0;
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
    bool probeClassWritten = false;
    bool runDirectoryMade = false;
    bool commandTailTooLong = false;
};

LauncherApp& app();
