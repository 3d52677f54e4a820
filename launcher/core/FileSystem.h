//===- FileSystem.h - File and registry queries of the launcher -----------===//
#pragma once

#include "Path.h"
#include "WindowsApi.h"

#include <cstddef>

// Reads a registry value as text, in the registry view that view names
// (KEY_WOW64_32KEY, KEY_WOW64_64KEY, or 0 for the program's own), and its type
// into *type when type is given. A REG_EXPAND_SZ text comes with its environment
// variables expanded; other types are not examined. False when the key or value
// cannot be read, or the text (expanded) does not end within the buffer.
bool readRegistryString(HKEY root, const char* subkey, const char* valueName, char* buffer,
                        DWORD size, REGSAM view = 0, DWORD* type = nullptr);

// True when a file of that path exists. A name without a directory is looked
// for along OpenFile's search order.
bool fileExists(const char* path);

// True when the system's ANSI code page can spell text, which is in the code
// page of the "A" functions: a program that reads its command line and
// environment in that code page then gets the text whole.
bool systemCodePageSpells(const char* text);

// The platform's temporary directory (GetTempPath2A where Windows has it), with
// its trailing backslash, under its short name when the system's ANSI code page
// cannot spell the long one and the volume keeps a short name. The buffer keeps
// what it held when the platform does not answer.
void getTempDirectory(char (&buffer)[kMaxPath]);
