//===- ServiceConfigWin32.cpp - The service's values in its registry key -===//
#include "ServiceConfigWin32.h"
#include "ServiceConfig.h"

#include "BatchCommand.h"
#include "RegistryText.h"
#include "win32/RegistryKey.h"

#include <cstring>

LONG openServiceKey(REGSAM access, UniqueRegistryKey& key) {
    return openRegistryKeyWithError(HKEY_LOCAL_MACHINE, kServiceKeyPath, access, key);
}

std::uint32_t writeServiceData(const char* valueName, std::uint32_t type, const void* data,
                               std::uint32_t size) {
    UniqueRegistryKey key;
    const LONG opened = openServiceKey(KEY_SET_VALUE, key);
    if (opened != ERROR_SUCCESS)
        return static_cast<std::uint32_t>(opened);
    return static_cast<std::uint32_t>(
        RegSetValueExA(key.get(), valueName, 0, type, static_cast<const BYTE*>(data), size));
}

std::uint32_t writeServiceValue(const char* valueName, const char* text) {
    return writeServiceData(valueName, REG_SZ, text,
                            static_cast<std::uint32_t>(std::strlen(text) + 1));
}

namespace {
// The key cannot be opened: for the callers, as if the value were missing.
LONG queryServiceValue(const char* valueName, DWORD& type, void* data, DWORD& size) {
    UniqueRegistryKey key;
    if (openServiceKey(KEY_QUERY_VALUE, key) != ERROR_SUCCESS)
        return ERROR_FILE_NOT_FOUND;
    return RegQueryValueExA(key.get(), valueName, nullptr, &type, static_cast<BYTE*>(data), &size);
}
} // namespace

bool readServiceData(const char* valueName, std::uint32_t type, void* data, std::uint32_t size) {
    DWORD found = 0;
    DWORD foundSize = size;
    return queryServiceValue(valueName, found, data, foundSize) == ERROR_SUCCESS && found == type &&
           foundSize == size;
}

bool readServiceValue(const char* valueName, char (&text)[kTextSize]) {
    char data[kTextSize];
    DWORD type = 0;
    DWORD size = sizeof data;
    if (queryServiceValue(valueName, type, data, size) != ERROR_SUCCESS)
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

OptionalValue readOptionalNumber(const char* valueName, std::uint32_t& number) {
    DWORD data = 0;
    DWORD type = 0;
    DWORD size = sizeof data;
    const LONG result = queryServiceValue(valueName, type, &data, size);
    if (result == ERROR_FILE_NOT_FOUND)
        return OptionalValue::Absent;
    if (result != ERROR_SUCCESS || type != REG_DWORD || size != sizeof data)
        return OptionalValue::WrongType;
    number = data;
    return OptionalValue::Found;
}

bool readOptionalPath(const char* valueName, char (&path)[kTextSize]) {
    char data[kTextSize];
    DWORD type = 0;
    DWORD size = sizeof data;
    if (queryServiceValue(valueName, type, data, size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    std::size_t length = 0;
    if (!registryTextLength(data, size, sizeof data, length) || length == 0)
        return false;
    data[length] = '\0';
    if (type == REG_SZ) {
        std::memcpy(path, data, length + 1);
        return true;
    }
    // The ANSI form may want a byte more than it reports, so a result that
    // fills the buffer counts as too long.
    const DWORD needed = ExpandEnvironmentStringsA(data, path, sizeof path);
    return needed != 0 && needed < sizeof path && path[0] != '\0';
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

std::uint32_t storeConfiguration(const char* imageDirectory, bool& startCommandFound) {
    const GrowingText startCommand = batchCommand(imageDirectory, kStartBatchSuffix);
    startCommandFound = startCommand.size() != 0;
    std::uint32_t error = writeServiceValue(kImageDirValue, imageDirectory);
    if (error == 0)
        error = writeServiceValue(kStartCmdValue, startCommand.c_str());
    if (error == 0)
        error = writeServiceValue(kStopCmdValue,
                                  batchCommand(imageDirectory, kStopBatchSuffix).c_str());
    return error;
}
