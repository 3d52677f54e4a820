//===- ServiceConfigWin32.cpp - The service's values in its registry key -===//
#include "ServiceConfigWin32.h"
#include "ServiceConfig.h"

#include "BatchCommand.h"
#include "RegistryText.h"
#include "win32/RegistryKey.h"

#include <cstring>

bool openServiceKey(UniqueRegistryKey& key) {
    return openRegistryKey(HKEY_LOCAL_MACHINE, kServiceKeyPath, KEY_ALL_ACCESS, key);
}

bool writeServiceValue(const char* valueName, const char* text) {
    UniqueRegistryKey key;
    if (!openServiceKey(key))
        return false;
    const DWORD size = static_cast<DWORD>(std::strlen(text) + 1);
    return RegSetValueExA(key.get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          size) == ERROR_SUCCESS;
}

bool readServiceValue(const char* valueName, char (&text)[kTextSize]) {
    UniqueRegistryKey key;
    if (!openServiceKey(key))
        return false;
    char data[kTextSize];
    DWORD type = 0;
    DWORD size = sizeof data;
    if (RegQueryValueExA(key.get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(data),
                         &size) != ERROR_SUCCESS)
        return false;
    if (type != REG_SZ)
        return true;
    std::size_t length = 0;
    if (!registryTextLength(data, size, sizeof data, length))
        return false;
    std::memcpy(text, data, length);
    text[length] = '\0';
    return true;
}

namespace {
// The batch file's path is the directory with the suffix appended; a path that
// does not fit a path buffer names no file that could be opened.
GrowingText batchCommand(const char* imageDirectory, const char* suffix) {
    GrowingText command;
    char path[kTextSize];
    const std::size_t directoryLength = std::strlen(imageDirectory);
    const std::size_t suffixLength = std::strlen(suffix);
    if (directoryLength + suffixLength < sizeof path) {
        std::memcpy(path, imageDirectory, directoryLength);
        std::memcpy(path + directoryLength, suffix, suffixLength + 1);
        extractCommand(path, command);
    }
    return command;
}
} // namespace

bool storeConfiguration(const char* imageDirectory) {
    writeServiceValue(kImageDirValue, imageDirectory);
    writeServiceValue(kStartCmdValue, batchCommand(imageDirectory, kStartBatchSuffix).c_str());
    writeServiceValue(kStopCmdValue, batchCommand(imageDirectory, kStopBatchSuffix).c_str());
    return true;
}
