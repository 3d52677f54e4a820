//===- DialogSupport.h - What both dialogs of the launcher share ----------===//
#pragma once

#include "LauncherApp.h"
#include "WindowsApi.h"

// Private message with which the VM choice dialog starts its search once it is
// on the screen.
constexpr UINT WM_BEGIN_SEARCH = WM_USER + 801;

// Centres window on its owner, or on the desktop when it has none.
void centerDialog(HWND window);

// While one lives, a probe runs under a dialog: the dialogs keep the wait cursor
// and take no command. The input that comes meanwhile is dropped by the wait
// (waitHandlingMessages); a command posted to a dialog would act, once the probe
// has ended, on a state the user has not seen.
class ProbeUnderway {
public:
    ProbeUnderway();
    ~ProbeUnderway();
    ProbeUnderway(const ProbeUnderway&) = delete;
    ProbeUnderway& operator=(const ProbeUnderway&) = delete;
};

// True when message came while a probe is under way and has been dealt with: a
// cursor set to the wait cursor, a command dropped.
bool handledWhileProbing(HWND dialog, UINT message);

INT_PTR CALLBACK vmChoiceDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK noVmDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
