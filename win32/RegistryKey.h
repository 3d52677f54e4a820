//===- RegistryKey.h - Opening a registry key into its owner --------------===//
#pragma once

#include "ScopedHandle.h"

// Opens subkey under root with the access asked for. A failed RegOpenKeyExA
// makes no promise about its out handle, so the owner receives only a key that
// really opened; on failure it keeps what it held. Returns the registry's
// error, ERROR_SUCCESS when the key opened.
inline LONG openRegistryKeyWithError(HKEY root, const char* subkey, REGSAM access,
                                     UniqueRegistryKey& key) {
    HKEY opened = nullptr;
    const LONG result = RegOpenKeyExA(root, subkey, 0, access, &opened);
    if (result == ERROR_SUCCESS)
        key.reset(opened);
    return result;
}

inline bool openRegistryKey(HKEY root, const char* subkey, REGSAM access, UniqueRegistryKey& key) {
    return openRegistryKeyWithError(root, subkey, access, key) == ERROR_SUCCESS;
}
