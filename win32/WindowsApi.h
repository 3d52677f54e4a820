//===- WindowsApi.h - The one door to <windows.h> ------------------------===//
//
// Every Win32 source of both programs includes this header instead of
// <windows.h>, so that the target version and the trimming macros are the same
// for MinGW and MSVC alike. Portable code never includes it.
//
//===----------------------------------------------------------------------===//
#pragma once

#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0501
#endif
#ifndef WINVER
#define WINVER 0x0501
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef STRICT
#define STRICT
#endif

#include <windows.h>
