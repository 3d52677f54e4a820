//===- winctl.cpp - Test driver for windows and registry under Wine -------===//
//
// A console program that the end-to-end tests run inside a Wine prefix, next to
// the program under test: it finds top-level windows by caption and kind, reads
// their controls, presses buttons and types keys the way a user would, reads
// registry values and the temporary directory as programs of that prefix see
// them, and narrows the access rights of registry keys. Every answer is plain
// lines on stdout; failures exit non-zero with a message on stderr. Nothing here
// knows the programs under test.
//
//===----------------------------------------------------------------------===//

#include "TestProgram.h"

#include <sddl.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A message box and a dialog are both "#32770" with the same caption; the kind
// tells them apart (see isMessageBox).
enum class Kind { Any, Dialog, MessageBox };

// Control id 65535 is where MessageBoxA puts its text; dialog templates also use
// it (as -1) for unnamed statics such as an icon.
const int kStaticId = 0xFFFF;
const DWORD kDefaultTimeoutMs = 10000;
// A thread that does not answer a sent message within this time is treated as
// busy: its texts are then read from the window manager's copy.
const UINT kResponsiveMs = 300;
const UINT kSendTimeoutMs = 5000;
// Exit code of regvalue for a key or value that does not exist, so the harness
// can tell "missing" from a failure of the driver.
const int kExitMissing = 3;

struct Failure {
    std::string message;
};

struct Options {
    Kind kind = Kind::Any;
    DWORD timeoutMs = kDefaultTimeoutMs;
    bool force = false;
    bool hidden = false;
    std::vector<std::string> positional;
};

void writeAll(DWORD stdHandle, const std::string& text) {
    HANDLE handle = GetStdHandle(stdHandle);
    DWORD written = 0;
    size_t offset = 0;
    while (offset < text.size()) {
        DWORD chunk = static_cast<DWORD>(text.size() - offset);
        if (!WriteFile(handle, text.data() + offset, chunk, &written, nullptr) || written == 0)
            return;
        offset += written;
    }
}

void out(const std::string& line) {
    writeAll(STD_OUTPUT_HANDLE, line + "\n");
}

// One control per line: a line feed, tab or backslash inside a text would break
// the line-and-tab format, so they are written as \n, \r, \t and \\.
std::string escape(const std::string& text) {
    std::string result;
    for (char c : text) {
        switch (c) {
        case '\\':
            result += "\\\\";
            break;
        case '\n':
            result += "\\n";
            break;
        case '\r':
            result += "\\r";
            break;
        case '\t':
            result += "\\t";
            break;
        default:
            result += c;
            break;
        }
    }
    return result;
}

std::string hexHandle(const void* handle) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "0x%08lx",
                  static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(handle)));
    return buffer;
}

std::string number(long long value) {
    return std::to_string(value);
}

std::string className(HWND window) {
    char buffer[256] = {};
    GetClassNameA(window, buffer, sizeof buffer);
    return buffer;
}

bool sameText(const std::string& a, const char* b) {
    return lstrcmpiA(a.c_str(), b) == 0;
}

bool isResponsive(HWND window) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, kResponsiveMs,
                               &ignored) != 0;
}

// WM_GETTEXT reaches the control itself, so an edit control answers with what it
// holds now; Wine marshals the buffer across processes. The text may change
// between the length and the copy (a dialog replacing its "searching" text), so
// a copy that fills the buffer is taken again with the new length.
std::string controlText(HWND control, bool responsive) {
    if (!responsive)
        return windowText(control);
    for (int attempt = 0; attempt < 5; ++attempt) {
        DWORD_PTR length = 0;
        if (!SendMessageTimeoutA(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG,
                                 kSendTimeoutMs, &length))
            break;
        std::vector<char> buffer(length + 2, '\0');
        DWORD_PTR copied = 0;
        if (!SendMessageTimeoutA(control, WM_GETTEXT, buffer.size(),
                                 reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG,
                                 kSendTimeoutMs, &copied))
            break;
        std::size_t got = std::strlen(buffer.data());
        if (got + 1 < buffer.size())
            return std::string(buffer.data(), got);
    }
    return windowText(control);
}

int controlId(HWND control) {
    int id = GetDlgCtrlID(control);
    // An extended template stores -1 as a 32-bit id; a classic one as 0xFFFF.
    return id == -1 ? kStaticId : id;
}

std::vector<HWND> directChildren(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

// MessageBoxA builds a "#32770" whose children are its buttons (ids IDOK to
// IDCONTINUE, 1 to 11), an icon static and the text static with id 65535. A
// dialog may carry an id-65535 icon too, so the text static must not be an icon
// or bitmap, and any other child (edit, combo box, radio button with its own id)
// makes it a dialog.
bool isMessageBox(HWND window) {
    if (className(window) != "#32770")
        return false;
    bool hasText = false;
    for (HWND child : directChildren(window)) {
        std::string cls = className(child);
        int id = controlId(child);
        if (sameText(cls, "Static")) {
            LONG type = GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK;
            if (id == kStaticId && type != SS_ICON && type != SS_BITMAP)
                hasText = true;
        } else if (!(sameText(cls, "Button") && id >= IDOK && id <= 11)) {
            return false;
        }
    }
    return hasText;
}

const char* kindName(HWND window) {
    if (className(window) != "#32770")
        return "window";
    return isMessageBox(window) ? "msgbox" : "dialog";
}

bool matchesKind(HWND window, Kind kind) {
    switch (kind) {
    case Kind::Any:
        return true;
    case Kind::Dialog:
        return className(window) == "#32770" && !isMessageBox(window);
    case Kind::MessageBox:
        return isMessageBox(window);
    }
    return false;
}

// The first match is the one a user sees in front (a message box before the
// dialog that owns it).
std::vector<HWND> findWindows(const std::string* caption, Kind kind, bool includeHidden = false) {
    std::vector<HWND> found;
    for (HWND window : topLevelWindows(includeHidden))
        if ((!caption || windowText(window) == *caption) && matchesKind(window, kind))
            found.push_back(window);
    return found;
}

HWND waitForWindow(const std::string& caption, Kind kind, DWORD timeoutMs,
                   bool includeHidden = false) {
    DWORD start = GetTickCount();
    for (;;) {
        std::vector<HWND> found = findWindows(&caption, kind, includeHidden);
        if (!found.empty())
            return found.front();
        if (GetTickCount() - start >= timeoutMs)
            throw Failure{"no visible window \"" + caption + "\" of that kind within " +
                          number(timeoutMs) + " ms"};
        Sleep(50);
    }
}

HWND findControl(HWND window, int id) {
    for (HWND child : directChildren(window))
        if (controlId(child) == id)
            return child;
    throw Failure{"window " + hexHandle(window) + " has no control " + number(id)};
}

void requireUsable(HWND control, const Options& options) {
    if (options.force)
        return;
    if (!IsWindowVisible(control))
        throw Failure{"control " + number(controlId(control)) + " is hidden (use --force)"};
    if (!IsWindowEnabled(control))
        throw Failure{"control " + number(controlId(control)) + " is disabled (use --force)"};
}

bool sendTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result) {
    return SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                               result) != 0;
}

int parseInt(const std::string& text) {
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0')
        throw Failure{"not a number: " + text};
    return static_cast<int>(value);
}

void needArgs(const Options& options, size_t count, const char* usage) {
    if (options.positional.size() != count)
        throw Failure{std::string("usage: winctl ") + usage};
}

// --- subcommands --------------------------------------------------------------

int commandWait(const Options& options) {
    needArgs(options, 2, "wait <caption> [--kind dialog|msgbox|any] [--timeout ms]");
    out(hexHandle(waitForWindow(options.positional[1], options.kind, options.timeoutMs)));
    return 0;
}

int commandGone(const Options& options) {
    needArgs(options, 2, "gone <caption> [--kind dialog|msgbox|any] [--timeout ms]");
    const std::string& caption = options.positional[1];
    DWORD start = GetTickCount();
    while (!findWindows(&caption, options.kind).empty()) {
        if (GetTickCount() - start >= options.timeoutMs)
            throw Failure{"window \"" + caption + "\" still there after " +
                          number(options.timeoutMs) + " ms"};
        Sleep(50);
    }
    return 0;
}

int commandList(const Options& options) {
    needArgs(options, 1, "list [--kind dialog|msgbox|any] [--hidden]");
    for (HWND window : findWindows(nullptr, options.kind, options.hidden))
        out(hexHandle(window) + "\t" + className(window) + "\t" +
            hexHandle(GetWindow(window, GW_OWNER)) + "\t" + kindName(window) + "\t" +
            (IsWindowVisible(window) ? "1" : "0") + "\t" + escape(windowText(window)));
    return 0;
}

int commandControls(const Options& options) {
    needArgs(options, 2, "controls <caption> [--kind ...] [--hidden]");
    HWND window =
        waitForWindow(options.positional[1], options.kind, options.timeoutMs, options.hidden);
    bool responsive = isResponsive(window);
    for (HWND child : directChildren(window)) {
        std::string cls = className(child);
        std::string checked = "-";
        if (sameText(cls, "Button")) {
            DWORD_PTR state = 0;
            checked = responsive && sendTimeout(child, BM_GETCHECK, 0, 0, &state)
                          ? number(static_cast<long long>(state))
                          : "?";
        }
        LONG style = GetWindowLongA(child, GWL_STYLE);
        out(number(controlId(child)) + "\t" + cls + "\t" + (IsWindowEnabled(child) ? "1" : "0") +
            "\t" + ((style & WS_VISIBLE) ? "1" : "0") + "\t" + checked + "\t" +
            escape(controlText(child, responsive)));
    }
    return 0;
}

int commandText(const Options& options) {
    needArgs(options, 3, "text <caption> <id> [--kind ...]");
    HWND window = waitForWindow(options.positional[1], options.kind, options.timeoutMs);
    HWND control = findControl(window, parseInt(options.positional[2]));
    out(escape(controlText(control, isResponsive(window))));
    return 0;
}

int commandPress(const Options& options) {
    needArgs(options, 3, "press <caption> <id> [--kind ...] [--force]");
    HWND window = waitForWindow(options.positional[1], options.kind, options.timeoutMs);
    int id = parseInt(options.positional[2]);
    HWND control = findControl(window, id);
    requireUsable(control, options);
    // Posted, not sent: the command may open a modal loop (a message box) that
    // would keep a sent message from returning.
    if (!PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                      reinterpret_cast<LPARAM>(control)))
        throw Failure{"PostMessageA failed: " + number(GetLastError())};
    return 0;
}

int virtualKey(const std::string& name) {
    struct Named {
        const char* name;
        int vk;
    };
    static const Named names[] = {
        {"esc", VK_ESCAPE}, {"escape", VK_ESCAPE}, {"enter", VK_RETURN}, {"return", VK_RETURN},
        {"tab", VK_TAB},    {"space", VK_SPACE},   {"up", VK_UP},        {"down", VK_DOWN},
        {"left", VK_LEFT},  {"right", VK_RIGHT}};
    for (const Named& named : names)
        if (sameText(name, named.name))
            return named.vk;
    return parseInt(name);
}

// The control with the keyboard focus in the window's thread: that is where a
// typed key goes, and the dialog manager (IsDialogMessage in the modal loop)
// only turns Esc into IDCANCEL and Enter into the default button for messages
// addressed to the dialog or one of its children.
HWND focusTarget(HWND window) {
    DWORD thread = GetWindowThreadProcessId(window, nullptr);
    GUITHREADINFO info;
    std::memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    HWND focus = nullptr;
    if (GetGUIThreadInfo(thread, &info))
        focus = info.hwndFocus;
    if (!focus && AttachThreadInput(GetCurrentThreadId(), thread, TRUE)) {
        focus = GetFocus();
        AttachThreadInput(GetCurrentThreadId(), thread, FALSE);
    }
    if (focus && (focus == window || IsChild(window, focus)))
        return focus;
    return window;
}

int commandKey(const Options& options) {
    needArgs(options, 3, "key <caption> <vk|esc|enter|tab|space|up|down|left|right> [--kind ...]");
    HWND window = waitForWindow(options.positional[1], options.kind, options.timeoutMs);
    UINT vk = static_cast<UINT>(virtualKey(options.positional[2]));
    HWND target = focusTarget(window);
    LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(vk, 0 /* MAPVK_VK_TO_VSC */)) << 16;
    LPARAM down = 1 | scan;
    LPARAM up = down | (static_cast<LPARAM>(1) << 30) | static_cast<LPARAM>(0x80000000UL);
    if (!PostMessageA(target, WM_KEYDOWN, vk, down))
        throw Failure{"PostMessageA failed: " + number(GetLastError())};
    // The key down may end the window before the key up is posted (Esc ends a
    // dialog); that key up has nobody left to reach.
    if (!PostMessageA(target, WM_KEYUP, vk, up) && IsWindow(target))
        throw Failure{"PostMessageA failed: " + number(GetLastError())};
    out(hexHandle(target));
    return 0;
}

int commandSetText(const Options& options) {
    needArgs(options, 4, "settext <caption> <id> <text> [--kind ...] [--force]");
    HWND window = waitForWindow(options.positional[1], options.kind, options.timeoutMs);
    HWND control = findControl(window, parseInt(options.positional[2]));
    requireUsable(control, options);
    DWORD_PTR result = 0;
    if (!sendTimeout(control, WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(options.positional[3].c_str()), &result) ||
        !result)
        throw Failure{"WM_SETTEXT failed or timed out"};
    return 0;
}

bool isAutoRadio(HWND control) {
    return (GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK) == BS_AUTORADIOBUTTON;
}

int commandCheck(const Options& options) {
    needArgs(options, 3, "check <caption> <id> [--kind ...] [--force]");
    HWND window = waitForWindow(options.positional[1], options.kind, options.timeoutMs);
    HWND control = findControl(window, parseInt(options.positional[2]));
    if (!sameText(className(control), "Button"))
        throw Failure{"control is a " + className(control) + ", not a button"};
    requireUsable(control, options);
    // BM_CLICK makes the button go through its own mouse handling, so it checks
    // itself (and unchecks its group) and notifies the dialog with BN_CLICKED.
    if (!PostMessageA(control, BM_CLICK, 0, 0))
        throw Failure{"PostMessageA failed: " + number(GetLastError())};
    if (!isAutoRadio(control))
        return 0;
    DWORD start = GetTickCount();
    for (;;) {
        DWORD_PTR state = 0;
        if (sendTimeout(control, BM_GETCHECK, 0, 0, &state) && state == BST_CHECKED)
            break;
        if (GetTickCount() - start >= options.timeoutMs)
            throw Failure{"radio button did not become checked"};
        Sleep(20);
    }
    // The check is set before the dialog's BN_CLICKED handler runs; a sent message
    // is only taken once that handler has returned to the message loop.
    DWORD_PTR ignored = 0;
    sendTimeout(window, WM_NULL, 0, 0, &ignored);
    return 0;
}

int commandRect(const Options& options) {
    needArgs(options, 2, "rect <caption> [--kind ...]");
    HWND window = waitForWindow(options.positional[1], options.kind, options.timeoutMs);
    RECT rect;
    if (!GetWindowRect(window, &rect))
        throw Failure{"GetWindowRect failed: " + number(GetLastError())};
    out("window " + number(rect.left) + " " + number(rect.top) + " " + number(rect.right) + " " +
        number(rect.bottom));
    out("screen " + number(GetSystemMetrics(SM_CXSCREEN)) + " " +
        number(GetSystemMetrics(SM_CYSCREEN)));
    return 0;
}

// Wine hands a cross-process CB_GETLBTEXT sent with the A API back as UTF-16 in
// the caller's buffer (only the first character shows); the W form is exact, and
// converting with the ANSI code page gives the bytes the program put in.
std::string comboItemText(HWND control, WPARAM index, DWORD_PTR length) {
    if (static_cast<LRESULT>(length) == CB_ERR || length == 0)
        return std::string();
    std::vector<wchar_t> wide(length + 1, L'\0');
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutW(control, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(wide.data()),
                             SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored))
        throw Failure{"CB_GETLBTEXT timed out"};
    int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, nullptr, 0, nullptr, nullptr);
    std::vector<char> text(size > 0 ? static_cast<size_t>(size) : 1, '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, text.data(), static_cast<int>(text.size()),
                        nullptr, nullptr);
    return text.data();
}

int commandCombo(const Options& options) {
    needArgs(options, 3, "combo <caption> <id> [--kind ...]");
    HWND window = waitForWindow(options.positional[1], options.kind, options.timeoutMs);
    HWND control = findControl(window, parseInt(options.positional[2]));
    DWORD_PTR count = 0;
    if (!sendTimeout(control, CB_GETCOUNT, 0, 0, &count) || static_cast<LRESULT>(count) == CB_ERR)
        throw Failure{"CB_GETCOUNT failed (busy, or not a combo box)"};
    for (WPARAM index = 0; index < count; ++index) {
        DWORD_PTR length = 0;
        DWORD_PTR data = 0;
        if (!SendMessageTimeoutW(control, CB_GETLBTEXTLEN, index, 0, SMTO_ABORTIFHUNG,
                                 kSendTimeoutMs, &length) ||
            !sendTimeout(control, CB_GETITEMDATA, index, 0, &data))
            throw Failure{"cannot read item " + number(static_cast<long long>(index))};
        out(number(static_cast<long long>(index)) + "\t" +
            number(static_cast<long long>(static_cast<LRESULT>(data))) + "\t" +
            escape(comboItemText(control, index, length)));
    }
    DWORD_PTR selection = 0;
    if (!sendTimeout(control, CB_GETCURSEL, 0, 0, &selection))
        throw Failure{"CB_GETCURSEL timed out"};
    out("selection\t" + number(static_cast<long long>(static_cast<LRESULT>(selection))));
    return 0;
}

int commandSelect(const Options& options) {
    needArgs(options, 4, "select <caption> <id> <index> [--kind ...]");
    HWND window = waitForWindow(options.positional[1], options.kind, options.timeoutMs);
    HWND control = findControl(window, parseInt(options.positional[2]));
    int index = parseInt(options.positional[3]);
    DWORD_PTR result = 0;
    if (!sendTimeout(control, CB_SETCURSEL, static_cast<WPARAM>(index), 0, &result) ||
        static_cast<LRESULT>(result) != index)
        throw Failure{"CB_SETCURSEL " + number(index) + " failed"};
    return 0;
}

HKEY registryRoot(const std::string& name) {
    if (sameText(name, "HKLM") || sameText(name, "HKEY_LOCAL_MACHINE"))
        return HKEY_LOCAL_MACHINE;
    if (sameText(name, "HKCU") || sameText(name, "HKEY_CURRENT_USER"))
        return HKEY_CURRENT_USER;
    if (sameText(name, "HKCR") || sameText(name, "HKEY_CLASSES_ROOT"))
        return HKEY_CLASSES_ROOT;
    if (sameText(name, "HKU") || sameText(name, "HKEY_USERS"))
        return HKEY_USERS;
    throw Failure{"unknown registry root " + name};
}

// Prints "type<TAB>size<TAB>hex bytes" exactly as RegQueryValueExA hands them to
// a program of this prefix (a REG_SZ with its terminating NUL).
int commandRegValue(const Options& options) {
    needArgs(options, 4, "regvalue <HKLM|HKCU|HKCR|HKU> <subkey> <value>");
    UniqueRegistryKey key;
    LONG status = RegOpenKeyExA(registryRoot(options.positional[1]), options.positional[2].c_str(),
                                0, KEY_QUERY_VALUE, key.put());
    if (status == ERROR_FILE_NOT_FOUND) {
        writeAll(STD_ERROR_HANDLE, "key not found\n");
        return kExitMissing;
    }
    if (status != ERROR_SUCCESS)
        throw Failure{"RegOpenKeyExA failed: " + number(status)};
    const char* value = options.positional[3].c_str();
    DWORD type = 0;
    DWORD size = 0;
    status = RegQueryValueExA(key.get(), value, nullptr, &type, nullptr, &size);
    if (status == ERROR_FILE_NOT_FOUND) {
        writeAll(STD_ERROR_HANDLE, "value not found\n");
        return kExitMissing;
    }
    if (status != ERROR_SUCCESS)
        throw Failure{"RegQueryValueExA failed: " + number(status)};
    std::vector<unsigned char> data(size + 1, 0);
    status = RegQueryValueExA(key.get(), value, nullptr, &type, data.data(), &size);
    if (status != ERROR_SUCCESS)
        throw Failure{"RegQueryValueExA failed: " + number(status)};
    std::string hex;
    static const char digits[] = "0123456789abcdef";
    for (DWORD i = 0; i < size; ++i) {
        hex += digits[data[i] >> 4];
        hex += digits[data[i] & 15];
    }
    out(number(type) + "\t" + number(size) + "\t" + hex);
    return 0;
}

// Gives Everyone either only the rights a user without administrative rights has
// under HKEY_LOCAL_MACHINE\SOFTWARE (read) or every right (full), on the key and
// on every key below it. The owner keeps the right to change this back.
void setKeyAccess(HKEY parent, const std::string& subkey, const char* descriptor) {
    UniqueRegistryKey key;
    LONG status = RegOpenKeyExA(parent, subkey.c_str(), 0, KEY_READ | WRITE_DAC, key.put());
    if (status != ERROR_SUCCESS)
        throw Failure{"RegOpenKeyExA failed: " + number(status) + " for " + subkey};
    PSECURITY_DESCRIPTOR security = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(descriptor, SDDL_REVISION_1,
                                                              &security, nullptr))
        throw Failure{"bad security descriptor: " + number(GetLastError())};
    status = RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, security);
    LocalFree(security);
    if (status != ERROR_SUCCESS)
        throw Failure{"RegSetKeySecurity failed: " + number(status) + " for " + subkey};
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD length = sizeof name;
        if (RegEnumKeyExA(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        setKeyAccess(key.get(), name, descriptor);
    }
}

int commandRegAccess(const Options& options) {
    needArgs(options, 4, "regaccess <HKLM|HKCU|HKCR|HKU> <subkey> read|full");
    const std::string& level = options.positional[3];
    if (level != "read" && level != "full")
        throw Failure{"regaccess gives read or full access, not " + level};
    setKeyAccess(registryRoot(options.positional[1]), options.positional[2],
                 level == "read" ? "D:P(A;;KR;;;WD)" : "D:P(A;;KA;;;WD)");
    return 0;
}

int commandCurrentDirectory(const Options& options) {
    needArgs(options, 1, "cwd");
    char buffer[MAX_PATH + 1] = {};
    DWORD length = GetCurrentDirectoryA(sizeof buffer, buffer);
    if (length == 0 || length > sizeof buffer)
        throw Failure{"GetCurrentDirectoryA failed: " + number(GetLastError())};
    out(buffer);
    return 0;
}

int commandTempPath(const Options& options) {
    needArgs(options, 1, "temppath");
    char buffer[MAX_PATH + 1] = {};
    DWORD length = GetTempPathA(sizeof buffer, buffer);
    if (length == 0 || length > sizeof buffer)
        throw Failure{"GetTempPathA failed: " + number(GetLastError())};
    out(buffer);
    return 0;
}

// count <image name>: how many processes of the prefix run that executable
// (its file name, in any letter case).
int commandCount(const Options& options) {
    needArgs(options, 2, "count <image name>");
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        throw Failure{"CreateToolhelp32Snapshot failed: " + number(GetLastError())};
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Process32First(snapshot.get(), &entry); more;
         more = Process32Next(snapshot.get(), &entry))
        if (sameText(entry.szExeFile, options.positional[1].c_str()))
            ++count;
    out(number(count));
    return 0;
}

// exec <exit-code file> <program> [args...]: runs the program with this process's
// standard handles and writes its full exit code to the file, because Unix hands
// only the low 8 bits of a Windows exit code back to the harness.
int commandExec(const Options& options) {
    if (options.positional.size() < 3)
        throw Failure{"usage: winctl exec <exit-code file> <program> [args...]"};
    const std::string line = commandLine(
        std::vector<std::string>(options.positional.begin() + 2, options.positional.end()));
    StartedProgram started;
    if (!startProgram(line, true, 0, started))
        throw Failure{"CreateProcessA failed: " + number(GetLastError()) + " for " + line};
    WaitForSingleObject(started.process.get(), INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(started.process.get(), &code);
    UniqueFileHandle file(CreateFileA(options.positional[1].c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        throw Failure{"cannot write " + options.positional[1]};
    std::string text = number(code) + "\n";
    DWORD written = 0;
    WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    return static_cast<int>(code & 0xFF);
}

Options parseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool isExec = !options.positional.empty() && options.positional[0] == "exec";
        if (!isExec && arg == "--kind" && i + 1 < argc) {
            std::string kind = argv[++i];
            if (kind == "any")
                options.kind = Kind::Any;
            else if (kind == "dialog")
                options.kind = Kind::Dialog;
            else if (kind == "msgbox")
                options.kind = Kind::MessageBox;
            else
                throw Failure{"--kind must be dialog, msgbox or any"};
        } else if (!isExec && arg == "--timeout" && i + 1 < argc) {
            options.timeoutMs = static_cast<DWORD>(parseInt(argv[++i]));
        } else if (!isExec && arg == "--force") {
            options.force = true;
        } else if (!isExec && arg == "--hidden") {
            options.hidden = true;
        } else {
            options.positional.push_back(arg);
        }
    }
    return options;
}

int run(int argc, char** argv) {
    struct Command {
        const char* name;
        int (*handler)(const Options&);
    };
    static const Command commands[] = {{"wait", commandWait},
                                       {"gone", commandGone},
                                       {"list", commandList},
                                       {"controls", commandControls},
                                       {"text", commandText},
                                       {"press", commandPress},
                                       {"key", commandKey},
                                       {"settext", commandSetText},
                                       {"check", commandCheck},
                                       {"rect", commandRect},
                                       {"combo", commandCombo},
                                       {"select", commandSelect},
                                       {"regvalue", commandRegValue},
                                       {"temppath", commandTempPath},
                                       {"cwd", commandCurrentDirectory},
                                       {"count", commandCount},
                                       {"exec", commandExec},
                                       {"regaccess", commandRegAccess}};
    Options options = parseOptions(argc, argv);
    if (!options.positional.empty())
        for (const Command& command : commands)
            if (options.positional[0] == command.name)
                return command.handler(options);
    throw Failure{"usage: winctl wait|gone|list|controls|text|press|key|settext|check|rect|combo|"
                  "select|regvalue|regaccess|temppath|cwd|count|exec ..."};
}

} // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const Failure& failure) {
        writeAll(STD_ERROR_HANDLE, "winctl: " + failure.message + "\n");
        return 2;
    } catch (const std::exception& error) {
        writeAll(STD_ERROR_HANDLE, std::string("winctl: ") + error.what() + "\n");
        return 2;
    }
}
