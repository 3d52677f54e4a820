//===- RunFolder.h - The launcher's own folder in the temporary directory -===//
//
// Each run writes into a folder of its own, radad- and eight hexadecimal
// digits, that only SYSTEM, the Administrators and the user who runs the
// launcher may open, so that nobody else can plant or rewrite a class before a
// VM loads it.
//
//===----------------------------------------------------------------------===//
#pragma once

#include "WindowsApi.h"

// A protected DACL (nothing inherited from the temporary directory) with full
// control for SYSTEM, the Administrators and the user of the process token,
// inherited by everything in the folder. Null, with GetLastError, when it cannot
// be made; LocalFree releases it.
PSECURITY_DESCRIPTOR runFolderSecurity();
