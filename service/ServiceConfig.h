//===- ServiceConfig.h - The service's values in its registry key --------===//
//
// "ImageDir", "StartCmd" and "StopCmd" live in the key that the Service
// Control Manager creates for the service and removes with it, and so do the
// optional values that an administrator adds ("LogFile", "LogLimit",
// "RestartDelay", "RestartLimit"), which installation neither writes nor
// removes. Every read and write opens and closes the key anew, so a changed
// value takes effect at the next start or stop. Windows only
// (ServiceConfigWin32.cpp).
//
//===----------------------------------------------------------------------===//
#pragma once

#include "ServiceIdentity.h"

#include <cstdint>

// Stores size bytes of data as a value of the registry type given. 0, or the
// registry's error.
std::uint32_t writeServiceData(const char* valueName, std::uint32_t type, const void* data,
                               std::uint32_t size);

// Stores text as REG_SZ, its terminating NUL included. 0, or the registry's error.
std::uint32_t writeServiceValue(const char* valueName, const char* text);

// Fills data with the value when it is of the type and exactly the size given;
// false otherwise.
bool readServiceData(const char* valueName, std::uint32_t type, void* data, std::uint32_t size);

// Replaces text with the value when it is a REG_SZ whose text fits the buffer.
// True when the value could be queried; false, with text unchanged, when the
// key or the value is missing, too long, or fills the buffer without a NUL.
bool readServiceValue(const char* valueName, char (&text)[kTextSize]);

// How an optional value was found in the key.
enum class OptionalValue { Absent, Found, WrongType };

// A REG_DWORD value; one of any other type or size is of the wrong type, and
// number is then left as it was.
OptionalValue readOptionalNumber(const char* valueName, std::uint32_t& number);

// A path in a REG_SZ value, or in a REG_EXPAND_SZ one with the environment
// variables in it expanded. False when the value is missing, empty, of
// another type, or too long, before or after the expansion.
bool readOptionalPath(const char* valueName, char (&path)[kTextSize]);

// Writes the image directory and the commands of its two batch files; a batch
// file that gives no command stores an empty one. 0, or the error of the first
// write that failed. startCommandFound says whether start.bat gave a command.
std::uint32_t storeConfiguration(const char* imageDirectory, bool& startCommandFound);
