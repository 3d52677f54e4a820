//===- ServiceConfig.h - The service's values in its registry key --------===//
//
// "ImageDir", "StartCmd" and "StopCmd" live in the key that the Service
// Control Manager creates for the service and removes with it. Every read and
// write opens and closes the key anew, so a changed value takes effect at the
// next start or stop. Windows only (ServiceConfigWin32.cpp).
//
//===----------------------------------------------------------------------===//
#pragma once

#include "ServiceIdentity.h"

// Stores text as REG_SZ, its terminating NUL included.
bool writeServiceValue(const char* valueName, const char* text);

// Replaces text with the value when it is a REG_SZ whose text fits the buffer.
// True when the value could be queried; false, with text unchanged, when the
// key or the value is missing, too long, or fills the buffer without a NUL.
bool readServiceValue(const char* valueName, char (&text)[kTextSize]);

// Writes the image directory and the commands of its two batch files. Always true.
bool storeConfiguration(const char* imageDirectory);
