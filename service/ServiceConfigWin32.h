//===- ServiceConfigWin32.h - The service's registry key -----------------===//
#pragma once

#include "win32/ScopedHandle.h"

// Opens HKLM\SYSTEM\CurrentControlSet\Services\Brisnode with the access
// asked for, and no more: a service that runs under an account of its own
// (LocalService, NetworkService, a virtual account) may read its key but not
// write it. The key is never created here: it exists exactly while the
// service is installed. Returns the registry's error, ERROR_SUCCESS when it opened.
LONG openServiceKey(REGSAM access, UniqueRegistryKey& key);
