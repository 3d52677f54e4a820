//===- LateBound.h - Calls that older Windows do not have ----------------===//
#pragma once

#include "WindowsApi.h"

// The function of kernel32 by that name, looked up at run time; null on a
// Windows without it, which then goes without what it brings.
template <class Function> Function kernel32Function(const char* name) {
    // Cast through the type that matches every function, so that the compiler
    // does not take the cast for a call of the wrong type.
    return reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("kernel32.dll"), name)));
}
