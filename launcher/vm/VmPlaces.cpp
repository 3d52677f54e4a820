#include "VmPlaces.h"

#include "FileSystem.h"
#include "Path.h"
#include "RegistryKey.h"
#include "VersionOrder.h"

#include <memory>
#include <new>

namespace {

const char* const kRegistryKeys[] = {
    "SOFTWARE\\JavaSoft\\JDK",
    "SOFTWARE\\JavaSoft\\JRE",
    "SOFTWARE\\JavaSoft\\Java Development Kit",
    "SOFTWARE\\JavaSoft\\Java Runtime Environment",
};

// A home whose joined path does not fit is skipped, never cut.
bool offerHome(char (&home)[kMaxPath], VmPathSink& sink) {
    if (!joinPath(home, "bin") || !joinPath(home, "java.exe"))
        return true;
    return sink.offer(home);
}

bool offerVersionsOf(const char* keyPath, REGSAM view, VmPathSink& sink) {
    UniqueRegistryKey key;
    if (!openRegistryKey(HKEY_LOCAL_MACHINE, keyPath, KEY_READ | view, key))
        return true;
    // The versions are taken a page at a time, newest first, without holding the
    // names of a key of any size at once.
    VersionShortlist versions;
    for (;;) {
        for (DWORD index = 0;; ++index) {
            char name[VersionShortlist::kMaxName];
            DWORD length = sizeof name;
            LONG status =
                RegEnumKeyExA(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
            // A name too long for the buffer (a long one in a multi-byte code page)
            // is passed over; the subkeys after it still count.
            if (status == ERROR_MORE_DATA)
                continue;
            if (status != ERROR_SUCCESS)
                break;
            versions.offer(name);
        }
        for (std::size_t i = 0; i < versions.size(); ++i) {
            char home[kMaxPath] = {};
            if (readRegistryString(key.get(), versions[i], "JavaHome", home, sizeof home, view) &&
                !offerHome(home, sink))
                return false;
        }
        if (!versions.full())
            return true;
        versions.turnPage();
    }
}

} // namespace

bool offerRegisteredVms(REGSAM view, VmPathSink& sink) {
    for (const char* keyPath : kRegistryKeys)
        if (!offerVersionsOf(keyPath, view, sink))
            return false;
    return true;
}

bool offerJavaHome(VmPathSink& sink) {
    char home[kMaxPath] = {};
    DWORD length = GetEnvironmentVariableA("JAVA_HOME", home, sizeof home);
    if (length == 0 || length >= sizeof home)
        return true;
    return offerHome(home, sink);
}

bool offerSearchPath(VmPathSink& sink) {
    DWORD size = GetEnvironmentVariableA("PATH", nullptr, 0);
    if (size == 0)
        return true;
    std::unique_ptr<char[]> directories(new (std::nothrow) char[size]);
    if (!directories || GetEnvironmentVariableA("PATH", directories.get(), size) >= size)
        return true;
    // Only absolute directories are searched: an empty element or "." would be
    // the current directory, usually the folder the installer was downloaded to.
    const char* list = directories.get();
    char candidate[kMaxPath];
    while (nextListElement(list, candidate))
        if (isAbsolutePath(candidate) && joinPath(candidate, "java.exe") && fileExists(candidate))
            return sink.offer(candidate);
    return true;
}
