//===- SystemMessage.h - Windows' own text for an error code -------------===//
#pragma once

#include "WindowsApi.h"

// The system's text for a Windows error, in the language of the system, without
// the line end and blank that FormatMessage leaves after it; empty where the
// system has none.
inline void systemMessage(DWORD error, char* out, DWORD size) {
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, out, size, nullptr);
    while (length > 0 &&
           (out[length - 1] == '\r' || out[length - 1] == '\n' || out[length - 1] == ' '))
        --length;
    out[length] = '\0';
}
