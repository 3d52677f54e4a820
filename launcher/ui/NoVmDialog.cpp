// The dialog shown when no Java VM qualifies: open the download address, run
// the installer with a VM the user names, or save the installer class.
#include "BoundedText.h"
#include "DialogSupport.h"
#include "FileSystem.h"
#include "LaunchLog.h"
#include "Path.h"
#include "Requirement.h"
#include "resource.h"

#include <shlobj.h>

namespace {

void enableOptionControls(HWND dialog, int option) {
    EnableWindow(GetDlgItem(dialog, IDC_VM_PATH), option == IDC_OPTION_RUN_VM);
    EnableWindow(GetDlgItem(dialog, IDC_BROWSE_VM), option == IDC_OPTION_RUN_VM);
    EnableWindow(GetDlgItem(dialog, IDC_SAVE_FOLDER), option == IDC_OPTION_SAVE);
    EnableWindow(GetDlgItem(dialog, IDC_BROWSE_FOLDER), option == IDC_OPTION_SAVE);
}

// Room for the texts around the list of the VMs found.
char message[kMaxFoundVms + 1024];
char foundVms[kMaxFoundVms];

// What the installation needs, and what the search found: that no VM was found,
// or each VM found with its version.
void showWhatWasFound(HWND dialog) {
    LauncherApp& launcher = app();
    char words[2 * kMaxText];
    // A requirement whose alternatives are all unknown is shown as it is.
    if (!describeRequirement(launcher.requirement, words, sizeof words))
        copyText(words, launcher.requirement);
    ReportEntry entries[VmList::kSlots];
    std::size_t count = launcher.vmList.found(entries);
    formatFoundVms(entries, count, foundVms, sizeof foundVms);
    launcher.formatString(message, sizeof message,
                          count == 0 ? IDS_NO_VM_FOUND : IDS_NONE_QUALIFIES, words, foundVms);
    HWND text = GetDlgItem(dialog, IDC_MESSAGE_TEXT);
    SetWindowTextA(text, message);
    // The scroll bar is there for a list longer than the text's room only.
    if (LOWORD(SendMessageA(text, EM_SCROLL, SB_PAGEDOWN, 0)) == 0)
        ShowScrollBar(text, SB_VERT, FALSE);
    else
        SendMessageA(text, EM_SCROLL, SB_PAGEUP, 0);
}

void initialise(HWND dialog) {
    SetWindowTextA(dialog, app().caption);
    showWhatWasFound(dialog);
    centerDialog(dialog);
    CheckRadioButton(dialog, IDC_OPTION_DOWNLOAD, IDC_OPTION_SAVE, IDC_OPTION_DOWNLOAD);
    enableOptionControls(dialog, IDC_OPTION_DOWNLOAD);
    SetDlgItemTextA(dialog, IDC_DOWNLOAD_ADDRESS, app().downloadAddress);
}

bool runWithGivenVm(HWND dialog) {
    LauncherApp& launcher = app();
    char path[kMaxPath] = {};
    GetDlgItemTextA(dialog, IDC_VM_PATH, path, sizeof path);
    if (path[0] == '\0') {
        launcher.showMessage(dialog, IDS_NO_VM_PATH, MB_ICONINFORMATION);
        return false;
    }
    if (!fileExists(path)) {
        launcher.showMessage(dialog, IDS_NO_VM_AT_PATH, MB_ICONINFORMATION);
        return false;
    }
    JavaVm* vm = launcher.vmList.findByExecutable(path);
    bool qualifies = false;
    if (vm != nullptr) {
        ProbeUnderway probe;
        qualifies = vm->qualify(launcher.requirement);
    }
    if (!qualifies) {
        launcher.showMessage(dialog, IDS_NOT_A_VM, MB_ICONINFORMATION);
        return false;
    }
    return launcher.runInstaller(dialog, *vm);
}

// The failure box has no owner: the dialog stays enabled while it is open.
void showCannotSave() {
    char text[kMaxText] = {};
    LoadStringA(app().instance, IDS_CANNOT_SAVE, text, sizeof text);
    MessageBoxA(nullptr, text, app().caption, MB_ICONINFORMATION);
}

bool saveApplication(HWND dialog) {
    LauncherApp& launcher = app();
    char target[kMaxPath] = {};
    GetDlgItemTextA(dialog, IDC_SAVE_FOLDER, target, sizeof target);
    if (target[0] == '\0') {
        launcher.showMessage(dialog, IDS_NO_SAVE_FOLDER, MB_ICONINFORMATION);
        return false;
    }
    PayloadRecord* installer = launcher.payload.record(2);
    // A name that is no plain file name (a path that climbs out of the folder, a
    // device) and a path too long to hold are refused before anything is written,
    // as the extraction into the temporary directory refuses them.
    if (installer == nullptr || !isPlainFileName(launcher.installerFileName) ||
        !joinPath(target, launcher.installerFileName)) {
        showCannotSave();
        return false;
    }
    if (CException failure = installer->extractTo(launcher.payload.file, target)) {
        logLine(failure.errorCode, "cannot save the installer class to %s", target);
        showCannotSave();
        return false;
    }
    logLine(0, "saved the installer class to %s", target);
    launcher.showMessage(dialog, IDS_SAVED, MB_ICONINFORMATION, target);
    return true;
}

void browseForVm(HWND dialog) {
    char filter[kMaxText] = {};
    LoadStringA(app().instance, IDS_FILTER_EXECUTABLES, filter, sizeof filter);
    splitFilter(filter);
    char file[kMaxPath] = {};

    OPENFILENAMEA request = {};
    request.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    request.hwndOwner = dialog;
    request.hInstance = app().instance;
    request.lpstrFilter = filter;
    request.lpstrFile = file;
    request.nMaxFile = sizeof file;
    request.lpstrDefExt = "exe";
    request.Flags = OFN_HIDEREADONLY;
    if (GetOpenFileNameA(&request))
        SetDlgItemTextA(dialog, IDC_VM_PATH, file);
}

void browseForFolder(HWND dialog) {
    char folder[kMaxPath] = {};
    BROWSEINFOA request = {};
    request.pszDisplayName = folder;
    LPITEMIDLIST chosen = SHBrowseForFolderA(&request);
    if (chosen == nullptr)
        return;
    if (SHGetPathFromIDListA(chosen, folder))
        SetDlgItemTextA(dialog, IDC_SAVE_FOLDER, folder);
    CoTaskMemFree(chosen);
}

bool carryOutChosenOption(HWND dialog) {
    if (IsDlgButtonChecked(dialog, IDC_OPTION_DOWNLOAD) == BST_CHECKED) {
        ShellExecuteA(dialog, "open", app().downloadAddress, "", "", SW_SHOW);
        logLine(0, "opened the download address %s", app().downloadAddress);
        return true;
    }
    if (IsDlgButtonChecked(dialog, IDC_OPTION_RUN_VM) == BST_CHECKED)
        return runWithGivenVm(dialog);
    if (IsDlgButtonChecked(dialog, IDC_OPTION_SAVE) == BST_CHECKED)
        return saveApplication(dialog);
    return false;
}

} // namespace

INT_PTR CALLBACK noVmDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (handledWhileProbing(dialog, message))
        return TRUE;
    switch (message) {
    case WM_INITDIALOG:
        initialise(dialog);
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            if (carryOutChosenOption(dialog))
                EndDialog(dialog, 1);
            break;
        case IDCANCEL:
            EndDialog(dialog, 2);
            break;
        case IDC_BROWSE_VM:
            browseForVm(dialog);
            break;
        case IDC_BROWSE_FOLDER:
            browseForFolder(dialog);
            break;
        case IDC_OPTION_DOWNLOAD:
        case IDC_OPTION_RUN_VM:
        case IDC_OPTION_SAVE:
            enableOptionControls(dialog, LOWORD(wParam));
            break;
        }
        break;
    }
    return 0;
}
