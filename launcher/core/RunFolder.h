//===- RunFolder.h - The launcher's own folder in the temporary directory -===//
//
// Each run writes into a folder of its own, radad- and eight hexadecimal
// digits, that only SYSTEM, the Administrators and the user who runs the
// launcher may open, so that nobody else can plant or rewrite a class before a
// VM loads it. A lock file in it, held open without delete sharing while the
// launcher runs, tells a later launcher that the folder is in use; it names the
// files that the run wrote there (the output files of the VMs go by themselves),
// so that a later launcher can remove what a launcher ended by force left
// behind, and only that.
//
//===----------------------------------------------------------------------===//
#pragma once

#include "Path.h"
#include "WindowsApi.h"

constexpr char kLockFileName[] = "radad.lock";

// A protected DACL (nothing inherited from the temporary directory) with full
// control for SYSTEM, the Administrators and the user of the process token,
// inherited by everything in the folder. Null, with GetLastError, when it cannot
// be made; LocalFree releases it.
PSECURITY_DESCRIPTOR runFolderSecurity();

// Removes, in up to a few dozen run folders in temporaryDirectory, those whose
// lock can be deleted: their launcher no longer runs. Only the files that the
// lock names and the lock are deleted, then the folder if nothing else is left;
// a folder without a lock, a reparse point or a folder that cannot be opened is
// left alone.
void removeLeftRunFolders(const char* temporaryDirectory);
