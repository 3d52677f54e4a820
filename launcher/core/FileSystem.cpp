#include "FileSystem.h"

#include "BoundedText.h"
#include "CodePage.h"
#include "LateBound.h"
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
    DWORD storedType = REG_NONE;
    if (RegQueryValueExA(key.get(), valueName, nullptr, &storedType,
                         reinterpret_cast<BYTE*>(buffer), &stored) != ERROR_SUCCESS)
        return false;
    if (type != nullptr)
        *type = storedType;
    // A value stored without its terminating NUL is terminated here when there is
    // room, and refused when it fills the whole buffer.
    if (stored < size) {
        buffer[stored] = '\0';
    } else if (size == 0 || buffer[size - 1] != '\0') {
        if (size > 0)
            buffer[0] = '\0';
        return false;
    }
    if (storedType != REG_EXPAND_SZ)
        return true;
    // Installers store homes such as "%ProgramFiles%\Java\jdk" in this type. The
    // ANSI form may want a byte more than it reports, so a result that fills the
    // buffer counts as too long.
    char expanded[kMaxPath];
    const DWORD needed = ExpandEnvironmentStringsA(buffer, expanded, sizeof expanded);
    return needed != 0 && needed < sizeof expanded && copyText(buffer, size, expanded);
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

bool systemCodePageSpells(const char* text) {
    const UINT systemCodePage = systemAnsiCodePage();
    if (systemCodePage == GetACP())
        return true;
    wchar_t wide[kMaxPath];
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, wide, kMaxPath) <= 0)
        return false;
    BOOL usedStandIn = FALSE;
    return WideCharToMultiByte(systemCodePage, WC_NO_BEST_FIT_CHARS, wide, -1, nullptr, 0, nullptr,
                               &usedStandIn) > 0 &&
           !usedStandIn;
}

void getTempDirectory(char (&buffer)[kMaxPath]) {
    // Taken through a buffer of its own, so that a path too long for ours leaves
    // the caller's text as it was.
    char answer[kMaxPath] = {};
    // Where Windows has it (11, Server 2022, 10 with the updates of 2025), a
    // process of SYSTEM gets C:\Windows\SystemTemp, which only SYSTEM may open,
    // instead of C:\Windows\Temp, where every user may create folders.
    using TempPathCall = DWORD(WINAPI*)(DWORD, LPSTR);
    const auto tempPath2 = kernel32Function<TempPathCall>("GetTempPath2A");
    DWORD length = tempPath2 != nullptr ? tempPath2(sizeof answer, answer)
                                        : GetTempPathA(sizeof answer, answer);
    if (length == 0 || length >= sizeof answer)
        return;
    // The directory reaches the Java VMs on their command line and in
    // CLASSPATH, and a VM reads both in the system's ANSI code page: a name that
    // code page cannot spell arrives best-fitted, as another folder's. The short
    // name that the volume keeps for the same folder is plain ASCII.
    if (!systemCodePageSpells(answer)) {
        char shortName[kMaxPath] = {};
        const DWORD shortLength = GetShortPathNameA(answer, shortName, sizeof shortName);
        if (shortLength > 0 && shortLength < sizeof shortName && systemCodePageSpells(shortName)) {
            std::memcpy(answer, shortName, shortLength + 1);
            length = shortLength;
        }
    }
    std::memcpy(buffer, answer, length + 1);
}
