#include "VmPlaces.h"

#include "BoundedText.h"
#include "FileSystem.h"
#include "Path.h"
#include "RegistryKey.h"
#include "VersionOrder.h"

#include <cstring>
#include <initializer_list>
#include <memory>
#include <new>

namespace {

// Registry keys under SOFTWARE with one subkey per installed version (or
// product name), each entry three texts: the key, the subkey under each version
// that holds the home (empty: the version's own key), and the name of the value
// that holds it. Packed into one text, they need no table of pointers.
constexpr char kJavaSoftKeys[] = "JavaSoft\\JDK\0\0JavaHome\0"
                                 "JavaSoft\\JRE\0\0JavaHome\0"
                                 "JavaSoft\\Java Development Kit\0\0JavaHome\0"
                                 "JavaSoft\\Java Runtime Environment\0\0JavaHome\0";
// Where the vendors' MSI installers register their builds.
constexpr char kVendorKeys[] = "Eclipse Adoptium\\JDK\0hotspot\\MSI\0Path\0"
                               "Eclipse Adoptium\\JRE\0hotspot\\MSI\0Path\0"
                               "Eclipse Foundation\\JDK\0hotspot\\MSI\0Path\0"
                               "AdoptOpenJDK\\JDK\0hotspot\\MSI\0Path\0"
                               "AdoptOpenJDK\\JDK\0openj9\\MSI\0Path\0"
                               "AdoptOpenJDK\\JRE\0hotspot\\MSI\0Path\0"
                               "AdoptOpenJDK\\JRE\0openj9\\MSI\0Path\0"
                               "Semeru\\JDK\0openj9\\MSI\0Path\0"
                               "Semeru\\JRE\0openj9\\MSI\0Path\0"
                               "Microsoft\\JDK\0hotspot\\MSI\0Path\0"
                               "Azul Systems\\Zulu\0\0InstallationPath\0"
                               "BellSoft\\Liberica\0\0InstallationPath\0";

const char* nextText(const char* text) {
    return text + std::strlen(text) + 1;
}

// A home that is no absolute path is skipped: "", "jre" or "C:" (the current
// directory of drive C, which the join would turn into the root C:\) lead to
// wherever the current directory is. So is one whose joined path does not fit:
// it is never cut.
bool offerHome(char (&home)[kMaxPath], VmPathSink& sink) {
    if (!isAbsolutePath(home) || !joinPath(home, "bin") || !joinPath(home, "java.exe"))
        return true;
    return sink.offer(home);
}

// The home in the value under version\under, when it is stored as text.
bool offerHomeIn(HKEY key, const char* version, const char* under, const char* value, REGSAM view,
                 VmPathSink& sink) {
    char subkey[kMaxPath];
    char home[kMaxPath];
    DWORD type = REG_NONE;
    if (!copyText(subkey, version) || (*under != '\0' && !joinPath(subkey, under)) ||
        !readRegistryString(key, subkey, value, home, sizeof home, view, &type) ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return true;
    return offerHome(home, sink);
}

bool offerVersionsOf(HKEY root, const char* keyName, REGSAM view, VmPathSink& sink) {
    const char* under = nextText(keyName);
    const char* value = nextText(under);
    char keyPath[kMaxPath];
    UniqueRegistryKey key;
    if (!copyText(keyPath, "SOFTWARE") || !joinPath(keyPath, keyName) ||
        !openRegistryKey(root, keyPath, KEY_READ | view, key))
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
        for (std::size_t i = 0; i < versions.size(); ++i)
            if (!offerHomeIn(key.get(), versions[i], under, value, view, sink))
                return false;
        if (!versions.full())
            return true;
        versions.turnPage();
    }
}

bool offerKeys(HKEY root, REGSAM view, const char* keys, VmPathSink& sink) {
    for (; *keys != '\0'; keys = nextText(nextText(nextText(keys))))
        if (!offerVersionsOf(root, keys, view, sink))
            return false;
    return true;
}

} // namespace

bool offerBundledRuntimes(VmPathSink& sink) {
    // The folder the launcher was put in, whatever the current directory is.
    for (const char* folder : {"..\\jre", "..\\runtime"}) {
        char home[kMaxPath];
        DWORD length = GetModuleFileNameA(nullptr, home, sizeof home);
        if (length > 0 && length < sizeof home && joinPath(home, folder) && !offerHome(home, sink))
            return false;
    }
    return true;
}

bool offerRegisteredVms(VmPathSink& sink) {
    // JavaSoft's keys, then the vendors', each in both views of HKEY_LOCAL_MACHINE;
    // then both under HKEY_CURRENT_USER, which has a single view.
    for (int pass = 0; pass < 6; ++pass) {
        bool machine = pass < 4;
        bool vendors = machine ? pass >= 2 : pass == 5;
        REGSAM view = machine && pass % 2 != 0 ? kOtherRegistryView : 0;
        if (!offerKeys(machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, view,
                       vendors ? kVendorKeys : kJavaSoftKeys, sink))
            return false;
    }
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
