//===- RegistryKey.h - Opening a registry key into its owner --------------===//
#pragma once

#include "ScopedHandle.h"

// Opens subkey under root with the access asked for. A failed RegOpenKeyExA
// makes no promise about its out handle, so the owner receives only a key that
// really opened; on failure it keeps what it held.
inline bool openRegistryKey(HKEY root, const char* subkey, REGSAM access, UniqueRegistryKey& key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, subkey, 0, access, &opened) != ERROR_SUCCESS)
        return false;
    key.reset(opened);
    return true;
}
