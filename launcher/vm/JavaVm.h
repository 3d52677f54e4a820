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
#include "VmReport.h"
#include "VmRun.h"

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
    // True when the probe class, run under this VM, accepts the requirement. The
    // thread's messages are handled while the probe runs.
    virtual bool qualify(const char* requirement);
    // Starts the class from classDirectory under this VM, with the kind's command
    // line, working directory and environment; its standard output goes to
    // outputName in the class directory. False when the VM cannot be started.
    virtual bool startClass(VmRun& run, const char* classDirectory, const char* className,
                            const char* arguments, const char* outputName, bool contained) = 0;
    // Starts the probe class from the run's folder, contained, with the
    // requirement as its arguments and its output in outputName.
    bool startProbe(VmRun& run, const char* requirement, const char* outputName);

    int qualified = 0;
    char path[kMaxPath] = {};
    // The version the search's probe gave, empty when it gave none.
    char version[kMaxVersion] = {};

protected:
    // Starts this VM with arguments after its quoted path.
    bool start(VmRun& run, const char* arguments, const char* environment,
               const char* workingDirectory, const char* outputDirectory, const char* outputName,
               bool contained) noexcept;
    bool adoptWhenNamed(const char* executableName, const char* fullPath, const char* fileName);
    // What a VM is given as its class path: the class directory, or "." where the
    // system's ANSI code page cannot spell it (a volume without 8.3 names keeps
    // no short name for it), since a VM reads its command line and CLASSPATH in
    // that code page. "." is the VM's working directory, which CreateProcess
    // hands it whole, so the VM then starts in the class directory.
    static const char* classPathFor(const char* classDirectory);
    // locate for the kinds registered under HKEY_LOCAL_MACHINE\key. Only a home
    // that is an absolute path counts: "", "jre" or "C:" (the current directory
    // of drive C) would lead to whatever lies in the current directory, usually
    // the folder the installer was downloaded to.
    bool locateRegistered(const char* key, const char* executableName);
    // Adopts candidate, an absolute path, when the file is there.
    bool locateAt(const char* candidate);
};

class JdkVm : public JavaVm {
public:
    bool matchExecutable(const char* fullPath, const char* fileName) override;
    bool locate() override;
    bool startClass(VmRun& run, const char* classDirectory, const char* className,
                    const char* arguments, const char* outputName, bool contained) override;
};

class JreVm : public JavaVm {
public:
    bool matchExecutable(const char* fullPath, const char* fileName) override;
    bool locate() override;
    bool startClass(VmRun& run, const char* classDirectory, const char* className,
                    const char* arguments, const char* outputName, bool contained) override;
};

class JviewVm : public JavaVm {
public:
    bool matchExecutable(const char* fullPath, const char* fileName) override;
    bool locate() override;
    bool startClass(VmRun& run, const char* classDirectory, const char* className,
                    const char* arguments, const char* outputName, bool contained) override;
};

// A java.exe found beyond the classic kinds' places (a runtime beside the
// launcher, a registry key of today's Java or of its vendors, JAVA_HOME, PATH),
// kept under its full path and run as the development kit's java.exe is.
class FoundVm : public JdkVm {
public:
    explicit FoundVm(const char* fullPath);
    // Its place is where the search found it: nothing to look up again.
    bool locate() override;
};

// The output file of a VM run, in the class directory.
constexpr char kOutputFileName[] = "stdout.tmp";
// How long a probe may take to answer.
constexpr DWORD kProbeTimeoutMs = 20000;
// How many probes run at once.
constexpr DWORD kMaxRunningProbes = 8;
