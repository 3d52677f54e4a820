//===- DialogSupport.h - What both dialogs of the launcher share ----------===//
#pragma once

#include "CException.h"
#include "LauncherApp.h"
#include "WindowsApi.h"

// Private message with which the VM choice dialog starts its search once it is
// on the screen.
constexpr UINT WM_BEGIN_SEARCH = WM_USER + 801;

// Centres window on its owner, or on the desktop when it has none.
void centerDialog(HWND window);

// Runs action inside a dialog procedure. A CException must not unwind through
// the platform's dialog code: it is parked with the application, the dialog
// ends, and whoever opened the dialog raises it again.
template <class Action> void guarded(HWND dialog, Action action) {
    try {
        action();
    } catch (CException* failure) {
        app().holdFailure(failure);
        EndDialog(dialog, 1);
    }
}

INT_PTR CALLBACK vmChoiceDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK noVmDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
