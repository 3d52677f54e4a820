// A DLL that a test plants beside the launcher under the name of a system DLL
// the launcher loads late (ole32.dll, say). Loaded, it leaves a file of its own
// path with ".loaded" appended, and so tells the test that the DLL search took
// it from the launcher's folder.
#include "WindowsApi.h"

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    char path[MAX_PATH + 8] = {};
    const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return TRUE;
    lstrcatA(path, ".loaded");
    CloseHandle(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr));
    return TRUE;
}
