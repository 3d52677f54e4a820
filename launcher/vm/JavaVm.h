//===- JavaVm.h - One candidate Java VM and its kinds ---------------------===//
//
// A JavaVm record stands for one kind of Java VM: where that kind is installed,
// how its executable is recognised, and how a class is started under it. The
// three classic kinds differ only in those; the runner and the requirement
// check are shared. Every further VM the search finds is a java.exe.
//
//===----------------------------------------------------------------------===//
#pragma once

#include "Path.h"

class JavaVm {
public:
    JavaVm() = default;
    virtual ~JavaVm() = default;
    JavaVm(const JavaVm&) = delete;
    JavaVm& operator=(const JavaVm&) = delete;

    // Adopts fullPath when fileName is this kind's executable, letter case aside.
    virtual bool matchExecutable(const char* fullPath, const char* fileName) = 0;
    // Looks for the kind's VM in its one place and keeps its path when found.
    virtual bool locate() = 0;
    // True when the probe class, run under this VM, accepts the requirement.
    virtual bool qualify(const char* requirement);
    // Starts the VM with arguments (after its quoted path) and an environment
    // block or none; waits up to 20000 ms. Returns 314 when the VM's first output
    // byte is 'T', else its exit status (259 while still running), or -1 when it
    // could not be started.
    virtual int run(const char* arguments, const char* environment);
    virtual int runClass(const char* classDirectory, const char* className,
                         const char* arguments) = 0;

    int qualified = 0;
    char path[kMaxPath] = {};

protected:
    bool adoptWhenNamed(const char* executableName, const char* fullPath, const char* fileName);
    // locate for the kinds registered under HKEY_LOCAL_MACHINE\key.
    bool locateRegistered(const char* key, const char* executableName);
    bool locateAt(const char* candidate);
};

class JdkVm : public JavaVm {
public:
    bool matchExecutable(const char* fullPath, const char* fileName) override;
    bool locate() override;
    int runClass(const char* classDirectory, const char* className, const char* arguments) override;
};

class JreVm : public JavaVm {
public:
    bool matchExecutable(const char* fullPath, const char* fileName) override;
    bool locate() override;
    int runClass(const char* classDirectory, const char* className, const char* arguments) override;
};

class JviewVm : public JavaVm {
public:
    bool matchExecutable(const char* fullPath, const char* fileName) override;
    bool locate() override;
    int runClass(const char* classDirectory, const char* className, const char* arguments) override;
};

// A java.exe found beyond the classic kinds' places (a registry key of today's
// Java, JAVA_HOME, PATH), kept under its full path and run as the development
// kit's java.exe is.
class FoundVm : public JdkVm {
public:
    explicit FoundVm(const char* fullPath);
    // Its place is where the search found it: nothing to look up again.
    bool locate() override;
};

// The exit status with which the probe class accepts a VM.
constexpr int kQualifiedStatus = 314;
// The result of run for a VM that could not be started.
constexpr int kStartFailed = -1;
