//===- VmPlaces.h - Where java.exe is found beyond the classic kinds ------===//
//
// A Java runtime shipped beside the launcher is found in the launcher's own
// folder. Java runtimes of today register under SOFTWARE\JavaSoft in several
// keys, one subkey per version, in the registry view of their own width; the
// OpenJDK builds of other vendors register under keys of their own, and a
// per-user installation under HKEY_CURRENT_USER. Others are only named by
// JAVA_HOME or found on PATH. Each place offers the java.exe paths it
// composes from absolute homes and directories only, in its own order, to a
// sink, and stops as soon as the sink wants no more. Whether the file exists is
// the sink's to check, on the path made full (".." and "." resolved).
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

// jre\bin\java.exe, then runtime\bin\java.exe, in the launcher's own folder,
// offered as the launcher's path, "..", and the rest: the sink's full path
// takes out the step back.
bool offerBundledRuntimes(VmPathSink& sink);

// The java.exe of every registered version, key by key and newest version first
// within a key: the JavaSoft keys ("JDK", "JRE", "Java Development Kit", "Java
// Runtime Environment") under HKEY_LOCAL_MACHINE in this registry view, then in
// the other one; the vendors' keys likewise; then both under HKEY_CURRENT_USER,
// which has one view only.
bool offerRegisteredVms(VmPathSink& sink);

// %JAVA_HOME%\bin\java.exe.
bool offerJavaHome(VmPathSink& sink);

// The first java.exe in the absolute directories of PATH, in PATH's own order
// (neither the launcher's folder nor the current directory first, and empty or
// relative elements not at all).
bool offerSearchPath(VmPathSink& sink);
