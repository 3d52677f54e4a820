//===- DialogSupport.h - What both dialogs of the launcher share ----------===//
#pragma once

#include "LauncherApp.h"
#include "WindowsApi.h"

// Private message with which the VM choice dialog starts its search once it is
// on the screen.
constexpr UINT WM_BEGIN_SEARCH = WM_USER + 801;

// Centres window on its owner, or on the desktop when it has none.
void centerDialog(HWND window);

INT_PTR CALLBACK vmChoiceDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK noVmDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
