//===- harness_probe.cpp - Windows the harness tests drive -----------------===//
//
// A GUI-subsystem program (like the deliverables) that the harness's own tests
// run under Wine to prove the driver and the output capture on something whose
// behaviour they know exactly:
//   msgbox <type> [text]   MessageBoxA with caption "Kitebay"; exit code = answer
//   dialog                 a "Kitebay" dialog with an icon static of id -1, a
//                          two-line text, two radio buttons, an edit, a sorted
//                          combo box, OK and Cancel; OK asks in an owned message
//                          box; exit code = the dialog's end code
//   dialog busy <ms>       the same, but its thread blocks for <ms> right after
//                          it shows (text "Busy", then "Idle"), as a dialog does
//                          that searches on its only thread
//   linger                 writes to stdout and stderr, leaves a child running
//                          that holds the same handles, exits with 7
//   sleep <ms>, exit <code>
// Every mode reports on its standard output (Wine hands a GUI program the Unix
// standard handles of the wine that started it).
//
//===----------------------------------------------------------------------===//

#include "TestProgram.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kCaption[] = "Kitebay";
const char kDefaultText[] = "First line\nSecond line with a \\ backslash";
const char kChildReadyEvent[] = "harness_probe_child_ready";
const UINT kBeginBusy = WM_APP + 1;
DWORD busyMilliseconds = 0;

enum ControlId : WORD {
    kMessageText = 1002,
    kVmList = 1001,
    kOptionAlpha = 1021,
    kOptionBeta = 1022,
    kPathEdit = 1004,
    kUnnamed = 0xFFFF,
};

void report(const std::string& text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()),
              &written, nullptr);
}

// A classic in-memory dialog template, so the probe needs no resource compiler.
class DialogTemplate {
public:
    DialogTemplate(DWORD style, short cx, short cy, const char* caption) {
        addDword(style);
        addDword(0);
        countIndex_ = words_.size();
        words_.push_back(0);
        addShorts(0, 0, cx, cy);
        words_.push_back(0); // no menu
        words_.push_back(0); // the system's dialog class
        addText(caption);
        words_.push_back(8);
        addText("MS Sans Serif");
    }

    void add(WORD atom, WORD id, DWORD style, short x, short y, short cx, short cy,
             const char* text) {
        if (words_.size() % 2)
            words_.push_back(0); // every item starts on a DWORD boundary
        addDword(style | WS_CHILD | WS_VISIBLE);
        addDword(0);
        addShorts(x, y, cx, cy);
        words_.push_back(id);
        words_.push_back(0xFFFF);
        words_.push_back(atom);
        addText(text);
        words_.push_back(0); // no creation data
        ++words_[countIndex_];
    }

    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void addDword(DWORD value) {
        words_.push_back(LOWORD(value));
        words_.push_back(HIWORD(value));
    }
    void addShorts(short a, short b, short c, short d) {
        for (short value : {a, b, c, d})
            words_.push_back(static_cast<WORD>(value));
    }
    void addText(const char* text) {
        for (; *text; ++text)
            words_.push_back(static_cast<unsigned char>(*text));
        words_.push_back(0);
    }

    std::vector<WORD> words_;
    size_t countIndex_ = 0;
};

const WORD kButton = 0x0080, kEdit = 0x0081, kStatic = 0x0082, kComboBox = 0x0085;

void fillList(HWND dialog) {
    struct Item {
        const char* text;
        LPARAM data;
    };
    static const Item items[] = {{"zulu", 7}, {"alpha", 3}, {"mike", 5}};
    for (const Item& item : items) {
        LRESULT index = SendDlgItemMessageA(dialog, kVmList, CB_ADDSTRING, 0,
                                            reinterpret_cast<LPARAM>(item.text));
        SendDlgItemMessageA(dialog, kVmList, CB_SETITEMDATA, static_cast<WPARAM>(index), item.data);
    }
    SendDlgItemMessageA(dialog, kVmList, CB_SETCURSEL, 0, 0);
}

void finishIfConfirmed(HWND dialog) {
    char path[260] = {};
    GetDlgItemTextA(dialog, kPathEdit, path, sizeof path);
    std::string question = std::string("Finish with ") + path + "?";
    if (MessageBoxA(dialog, question.c_str(), kCaption, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    LRESULT selection = SendDlgItemMessageA(dialog, kVmList, CB_GETCURSEL, 0, 0);
    LRESULT data =
        SendDlgItemMessageA(dialog, kVmList, CB_GETITEMDATA, static_cast<WPARAM>(selection), 0);
    report(std::string("edit=") + path + "\n");
    EndDialog(dialog, 100 + data);
}

INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        SetDlgItemTextA(dialog, kMessageText, kDefaultText);
        CheckRadioButton(dialog, kOptionAlpha, kOptionBeta, kOptionAlpha);
        EnableWindow(GetDlgItem(dialog, kPathEdit), FALSE);
        fillList(dialog);
        if (busyMilliseconds)
            PostMessageA(dialog, kBeginBusy, 0, 0);
        return TRUE;
    case kBeginBusy:
        SetDlgItemTextA(dialog, kMessageText, "Busy");
        Sleep(busyMilliseconds);
        SetDlgItemTextA(dialog, kMessageText, "Idle");
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case kOptionAlpha:
        case kOptionBeta:
            EnableWindow(GetDlgItem(dialog, kPathEdit), LOWORD(wParam) == kOptionBeta);
            return TRUE;
        case IDOK:
            finishIfConfirmed(dialog);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

int showDialog(HINSTANCE instance) {
    DialogTemplate dialog(WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_MODALFRAME | DS_SETFONT, 260, 110,
                          kCaption);
    dialog.add(kStatic, kUnnamed, SS_ICON, 8, 8, 20, 20, "");
    dialog.add(kStatic, kMessageText, SS_LEFT | WS_GROUP, 44, 8, 200, 16, "");
    dialog.add(kButton, kOptionAlpha, BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 44, 28, 150, 10,
               "&Alpha");
    dialog.add(kButton, kOptionBeta, BS_AUTORADIOBUTTON, 44, 40, 150, 10, "&Beta");
    dialog.add(kEdit, kPathEdit, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL | WS_GROUP, 44, 54, 150,
               14, "");
    dialog.add(kComboBox, kVmList, CBS_DROPDOWNLIST | CBS_SORT | WS_VSCROLL | WS_TABSTOP, 44, 72,
               150, 60, "");
    dialog.add(kButton, IDOK, BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP, 204, 8, 50, 14, "OK");
    dialog.add(kButton, IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, 204, 28, 50, 14, "Cancel");
    INT_PTR result = DialogBoxIndirectParamA(instance, dialog.get(), nullptr, dialogProc, 0);
    report("ended=" + std::to_string(static_cast<long long>(result)) + "\n");
    return static_cast<int>(result);
}

int showMessageBox(const char* type, const char* text) {
    UINT style = static_cast<UINT>(std::strtoul(type, nullptr, 0));
    int answer = MessageBoxA(nullptr, text ? text : kDefaultText, kCaption, style);
    report("answer=" + std::to_string(answer) + "\n");
    return answer;
}

// The child inherits the standard handles; the parent ends only once the child
// has written, so a test sees both outputs and a child that is still running.
int leaveChildRunning() {
    report("parent-out\n");
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), "parent-err\n", 11, &written, nullptr);
    UniqueHandle ready(CreateEventA(nullptr, TRUE, FALSE, kChildReadyEvent));
    StartedProgram child;
    if (!startProgram(commandLine({ownPath(), "sleep", "120000"}), true, 0, child))
        return 1;
    WaitForSingleObject(ready.get(), 20000);
    return 7;
}

int sleepThenExit(const char* milliseconds) {
    report("child-out\n");
    UniqueHandle ready(OpenEventA(EVENT_MODIFY_STATE, FALSE, kChildReadyEvent));
    if (ready)
        SetEvent(ready.get());
    Sleep(static_cast<DWORD>(std::strtoul(milliseconds, nullptr, 0)));
    return 0;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    int argc = __argc;
    char** argv = __argv;
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "msgbox" && argc > 2)
        return showMessageBox(argv[2], argc > 3 ? argv[3] : nullptr);
    if (mode == "dialog") {
        if (argc > 3 && std::string(argv[2]) == "busy")
            busyMilliseconds = static_cast<DWORD>(std::strtoul(argv[3], nullptr, 0));
        return showDialog(instance);
    }
    if (mode == "linger")
        return leaveChildRunning();
    if (mode == "sleep" && argc > 2)
        return sleepThenExit(argv[2]);
    if (mode == "exit" && argc > 2)
        return static_cast<int>(std::strtoul(argv[2], nullptr, 0));
    report("usage: harness_probe msgbox|dialog|linger|sleep|exit ...\n");
    return 1;
}
