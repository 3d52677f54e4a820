#include "FileSystem.h"

#include "RegistryKey.h"

#include <cstring>

bool readRegistryString(HKEY root, const char* subkey, const char* valueName, char* buffer,
                        DWORD size, REGSAM view, DWORD* type) {
    // Opened for querying only: a user without administrative rights is refused
    // write access under HKEY_LOCAL_MACHINE, and reading needs none.
    UniqueRegistryKey key;
    if (!openRegistryKey(root, subkey, KEY_QUERY_VALUE | view, key))
        return false;
    DWORD stored = size;
    if (RegQueryValueExA(key.get(), valueName, nullptr, type, reinterpret_cast<BYTE*>(buffer),
                         &stored) != ERROR_SUCCESS)
        return false;
    // A value stored without its terminating NUL is terminated here when there is
    // room, and refused when it fills the whole buffer.
    if (stored < size) {
        buffer[stored] = '\0';
        return true;
    }
    if (size > 0 && buffer[size - 1] == '\0')
        return true;
    if (size > 0)
        buffer[0] = '\0';
    return false;
}

bool fileExists(const char* path) {
    OFSTRUCT info = {};
    if (OpenFile(path, &info, OF_EXIST) != HFILE_ERROR)
        return true;
    // OpenFile handles no path of OFS_MAXPATHNAME characters or more; such a path
    // is asked of the file system directly.
    if (std::strlen(path) < OFS_MAXPATHNAME)
        return false;
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

void getTempDirectory(char (&buffer)[MAX_PATH]) {
    // Taken through a buffer of its own, so that a path too long for ours leaves
    // the caller's text as it was.
    char answer[MAX_PATH] = {};
    DWORD length = GetTempPathA(MAX_PATH, answer);
    if (length > 0 && length < MAX_PATH)
        std::memcpy(buffer, answer, length + 1);
}
