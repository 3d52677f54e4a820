//===- ServiceConfigWin32.cpp - The service's values in its registry key -===//
#include "ServiceConfigWin32.h"
#include "ServiceConfig.h"

#include "BatchCommand.h"
#include "RegistryText.h"
#include "win32/RegistryKey.h"

#include <cstring>

bool openServiceKey(REGSAM access, UniqueRegistryKey& key) {
    return openRegistryKey(HKEY_LOCAL_MACHINE, kServiceKeyPath, access, key);
}

bool writeServiceValue(const char* valueName, const char* text) {
    UniqueRegistryKey key;
    if (!openServiceKey(KEY_SET_VALUE, key))
        return false;
    const DWORD size = static_cast<DWORD>(std::strlen(text) + 1);
    return RegSetValueExA(key.get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          size) == ERROR_SUCCESS;
}

namespace {
// The key cannot be opened: for the callers, as if the value were missing.
LONG queryServiceValue(const char* valueName, DWORD& type, void* data, DWORD& size) {
    UniqueRegistryKey key;
    if (!openServiceKey(KEY_QUERY_VALUE, key))
        return ERROR_FILE_NOT_FOUND;
    return RegQueryValueExA(key.get(), valueName, nullptr, &type, static_cast<BYTE*>(data), &size);
}
} // namespace

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

bool storeConfiguration(const char* imageDirectory) {
    writeServiceValue(kImageDirValue, imageDirectory);
    writeServiceValue(kStartCmdValue, batchCommand(imageDirectory, kStartBatchSuffix).c_str());
    writeServiceValue(kStopCmdValue, batchCommand(imageDirectory, kStopBatchSuffix).c_str());
    return true;
}
