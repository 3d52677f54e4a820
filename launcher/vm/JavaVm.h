//===- JavaVm.h - One candidate Java VM and its kinds ---------------------===//
//
// A JavaVm record stands for one kind of Java VM: where that kind is installed,
// how its executable is recognised, and how a class is started under it. The
// three kinds differ only in those; the runner and the requirement check are
// shared.
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

// The exit status with which the probe class accepts a VM.
constexpr int kQualifiedStatus = 314;
// The result of run for a VM that could not be started.
constexpr int kStartFailed = -1;
