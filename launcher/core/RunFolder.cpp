#include "RunFolder.h"

#include "BoundedText.h"
#include "ScopedHandle.h"

#include <sddl.h>

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
