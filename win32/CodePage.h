//===- CodePage.h - The code pages a program meets -----------------------===//
//
// Under the manifest's activeCodePage, Windows 10 from version 1903 on runs
// the "A" functions in UTF-8 and GetACP answers 65001; older Windows ignore
// the element and keep the system's ANSI code page. Files that programs wrote
// in "ANSI" are in the system's code page either way, which is the ANSI code
// page of the system locale.
//
//===----------------------------------------------------------------------===//
#pragma once

#include "WindowsApi.h"

// The system's ANSI code page. A locale without one (a Unicode-only locale)
// gives the code page of the "A" functions.
inline UINT systemAnsiCodePage() {
    DWORD codePage = 0;
    if (GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                       reinterpret_cast<LPSTR>(&codePage), sizeof codePage) == 0 ||
        codePage == 0)
        return GetACP();
    return codePage;
}
