// The dialog that shows the search for Java VMs, lists the qualifying ones and
// runs the installer under the one the user picks.
#include "DialogSupport.h"
#include "LaunchLog.h"
#include "resource.h"

namespace {

void fillVmList(HWND dialog) {
    LauncherApp& launcher = app();
    // The posted message is taken before the new dialog's paint messages, and the
    // look for VMs blocks the thread: without painting now the user would look at
    // an empty frame instead of the searching text until the probes start.
    UpdateWindow(dialog);
    {
        ProbeUnderway search;
        launcher.vmList.search(launcher.requirement);
    }

    HWND list = GetDlgItem(dialog, IDC_VM_LIST);
    int count = 0;
    for (std::size_t slot = 0; slot < VmList::kSlots; ++slot) {
        JavaVm* vm = launcher.vmList.slot(slot);
        if (vm == nullptr || vm->path[0] == '\0' || vm->qualified == 0)
            continue;
        ++count;
        // The list sorts its entries, so each remembers its slot in its item data.
        LRESULT index = SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(vm->path));
        SendMessageA(list, CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(slot));
    }

    if (count == 0) {
        ShowWindow(dialog, SW_HIDE);
        // The download and the save install nothing either; running the
        // installer from there sets the installer's own code.
        launcher.exitCode = kExitNoQualifyingVm;
        logLine(0, "no Java VM qualifies for %s", launcher.requirement);
        if (DialogBoxParamA(launcher.instance, MAKEINTRESOURCEA(IDD_NO_VM), nullptr, noVmDialogProc,
                            0) == IDCANCEL)
            launcher.userCancelled();
        EndDialog(dialog, 1);
        return;
    }
    char text[kMaxText] = {};
    LoadStringA(launcher.instance, count == 1 ? IDS_ONE_VM_FOUND : IDS_SEVERAL_VMS_FOUND, text,
                sizeof text);
    SetDlgItemTextA(dialog, IDC_MESSAGE_TEXT, text);
    SendMessageA(list, CB_SETCURSEL, 0, 0);
}

void chooseSelectedVm(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_VM_LIST);
    LRESULT selection = SendMessageA(list, CB_GETCURSEL, 0, 0);
    if (selection == CB_ERR)
        return;
    LRESULT slot = SendMessageA(list, CB_GETITEMDATA, static_cast<WPARAM>(selection), 0);
    if (slot == CB_ERR || slot < 0)
        return;
    JavaVm* vm = app().vmList.slot(static_cast<std::size_t>(slot));
    if (vm == nullptr)
        return;
    // A VM that cannot be started leaves the choice to the user again.
    if (app().runInstaller(dialog, *vm))
        EndDialog(dialog, 1);
}

void confirmCancel(HWND dialog) {
    char question[300] = {};
    LoadStringA(app().instance, IDS_CONFIRM_CANCEL, question, sizeof question);
    if (MessageBoxA(dialog, question, app().caption, MB_YESNO | MB_ICONWARNING) == IDYES) {
        app().userCancelled();
        EndDialog(dialog, 2);
    }
}

} // namespace

INT_PTR CALLBACK vmChoiceDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (handledWhileProbing(dialog, message))
        return TRUE;
    switch (message) {
    case WM_INITDIALOG:
        SetWindowTextA(dialog, app().caption);
        centerDialog(dialog);
        // The search runs once the dialog is on the screen with its searching text.
        PostMessageA(dialog, WM_BEGIN_SEARCH, 0, 0);
        return FALSE;
    case WM_BEGIN_SEARCH:
        fillVmList(dialog);
        break;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            chooseSelectedVm(dialog);
            break;
        case IDCANCEL:
            confirmCancel(dialog);
            break;
        }
        break;
    }
    return 0;
}
