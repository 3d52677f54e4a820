//===- ServiceConfigWin32.h - The service's registry key -----------------===//
#pragma once

#include "win32/ScopedHandle.h"

// Opens HKLM\SYSTEM\CurrentControlSet\Services\Brisnode with full access. It
// is never created here: it exists exactly while the service is installed.
bool openServiceKey(UniqueRegistryKey& key);
