//===- ImagePath.h - The executable's path and directory -----------------===//
//
// The service is registered under the path of the running executable, and its
// commands run in the directory that holds it. A file named by a relative
// path in the service's key is taken from there too.
//
//===----------------------------------------------------------------------===//
#pragma once

#include "LeadByte.h"
#include "ServiceIdentity.h"

#include <cstddef>

// The length of the directory part of path: up to, not including, its last
// backslash, 0 when it has none. Trail bytes of double-byte characters are
// never taken for a backslash.
std::size_t imageDirectoryLength(const char* path, LeadBytePredicate isLeadByte);

// The room a registration path needs for any path that fits kTextSize: two
// quotes more.
constexpr std::size_t kRegistrationPathSize = kTextSize + 2;

// The path under which the Service Control Manager is to start the program.
// A path with a blank is put in double quotes: unquoted, "C:\Program Files\x.exe"
// would let the manager run "C:\Program.exe" first, as the local system
// account. Returns false, with an empty result, when it does not fit.
bool registrationPath(const char* path, char* result, std::size_t resultSize);

// True for a directory text that is a drive letter and its colon alone, as the
// image directory of a program at a drive's root is stored. Such a text names
// the current directory on that drive, which for a service is the system
// directory, not the root: the commands are started in the root instead.
bool isBareDrive(const char* directory);

// The path of the file that path names, a relative path taken from directory:
// the directory, a backslash, the path. A path that starts at a root (with a
// backslash or a slash, as UNC paths do) or names a drive (a letter and a
// colon) stands as it is, and so does every path when directory is empty.
// Returns false, with an empty result, when it does not fit resultSize.
bool pathFromDirectory(const char* directory, const char* path, char* result,
                       std::size_t resultSize);
