//===- VmPlaces.h - Where java.exe is found beyond the classic kinds ------===//
//
// Java runtimes of today register under HKEY_LOCAL_MACHINE\SOFTWARE\JavaSoft in
// several keys, one subkey per version, in the registry view of their own width;
// others are only named by JAVA_HOME or found on PATH. Each place offers the
// java.exe paths it composes, in its own order, to a sink, and stops as soon as
// the sink wants no more. Whether the path is absolute and the file exists is
// the sink's to check.
//
//===----------------------------------------------------------------------===//
#pragma once

#include "WindowsApi.h"

class VmPathSink {
public:
    virtual ~VmPathSink() = default;
    // False once no more paths are wanted.
    virtual bool offer(const char* path) = 0;
};

// The registry view of the other width than the program's own: the 64-bit one
// for the 32-bit build, the 32-bit one for the x86-64 build. A 32-bit Windows
// has only one view and answers in it.
#ifdef _WIN64
constexpr REGSAM kOtherRegistryView = KEY_WOW64_32KEY;
#else
constexpr REGSAM kOtherRegistryView = KEY_WOW64_64KEY;
#endif

// JavaHome\bin\java.exe of every version subkey of "JDK", "JRE", "Java
// Development Kit" and "Java Runtime Environment", in that order of keys, newest
// version first within each. view is 0 or kOtherRegistryView.
bool offerRegisteredVms(REGSAM view, VmPathSink& sink);

// %JAVA_HOME%\bin\java.exe.
bool offerJavaHome(VmPathSink& sink);

// The first java.exe in the absolute directories of PATH, in PATH's own order
// (neither the launcher's folder nor the current directory first, and empty or
// relative elements not at all).
bool offerSearchPath(VmPathSink& sink);
