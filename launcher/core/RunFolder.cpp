#include "RunFolder.h"

#include "BoundedText.h"
#include "LaunchLog.h"
#include "PayloadFormat.h"
#include "ScopedHandle.h"

#include <sddl.h>

#include <cstring>

namespace {

// Bounds the work at start when a temporary directory is full of them.
constexpr int kMostFoldersExamined = 64;

void deleteIn(const char* folder, const char* name) {
    char path[kMaxPath];
    if (isPlainFileName(name) && copyText(path, folder) && joinPath(path, name))
        DeleteFileA(path);
}

void removeIfLeft(const char* folder) {
    // Held without delete sharing, the folder can be neither renamed nor replaced
    // (by a junction into another folder, say) while its files are removed; opened
    // as itself should it be a reparse point already, and then left alone.
    UniqueFileHandle held(CreateFileA(
        folder, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION information;
    if (!held || !GetFileInformationByHandle(held.get(), &information) ||
        (information.dwFileAttributes &
         (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != FILE_ATTRIBUTE_DIRECTORY)
        return;
    char path[kMaxPath];
    if (!copyText(path, folder) || !joinPath(path, kLockFileName))
        return;
    UniqueFileHandle lock(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT,
                                      nullptr));
    if (!lock)
        return;
    // The probe class and each record, each name ended by a NUL.
    char names[(payload::kMaxRecords + 1) * (payload::kMaxNameLength + 1) + 1] = {};
    DWORD read = 0;
    if (ReadFile(lock.get(), names, sizeof names - 1, &read, nullptr))
        for (const char* name = names; *name != '\0'; name += std::strlen(name) + 1)
            deleteIn(folder, name);
    lock.reset();
    held.reset();
    if (RemoveDirectoryA(folder))
        logLine(0, "removed %s, left behind by a launcher that no longer runs", folder);
}

} // namespace

PSECURITY_DESCRIPTOR runFolderSecurity() {
    UniqueHandle token;
    // TOKEN_USER and the SID after it.
    union {
        TOKEN_USER token;
        BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } user;
    DWORD size = 0;
    char* sid = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()) ||
        !GetTokenInformation(token.get(), TokenUser, &user, sizeof user, &size) ||
        !ConvertSidToStringSidA(user.token.User.Sid, &sid))
        return nullptr;
    char text[kMaxText] = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;";
    bool fits = appendText(text, sid) && appendText(text, ")");
    LocalFree(sid);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!fits || !ConvertStringSecurityDescriptorToSecurityDescriptorA(text, SDDL_REVISION_1,
                                                                       &descriptor, nullptr))
        return nullptr;
    return descriptor;
}

void removeLeftRunFolders(const char* temporaryDirectory) {
    char path[kMaxPath];
    if (!copyText(path, temporaryDirectory) || !joinPath(path, "radad-*"))
        return;
    WIN32_FIND_DATAA found;
    UniqueFindHandle search(FindFirstFileA(path, &found));
    for (int examined = 0; search && examined < kMostFoldersExamined; ++examined) {
        if (isRunFolderName(found.cFileName) &&
            (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
                FILE_ATTRIBUTE_DIRECTORY &&
            copyText(path, temporaryDirectory) && joinPath(path, found.cFileName))
            removeIfLeft(path);
        if (!FindNextFileA(search.get(), &found))
            break;
    }
}
