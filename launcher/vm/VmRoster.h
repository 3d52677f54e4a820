//===- VmRoster.h - The Java VMs listed so far, each once -----------------===//
//
// The same java.exe can be registered under several keys, named by JAVA_HOME
// and found on PATH, and under several names: a short 8.3 name, a junction
// such as the javapath folder some runtimes put on PATH, a substituted drive.
// The roster keeps every VM listed, so that the first place that found one
// keeps it, and it stops the search at kMaxVms.
//
//===----------------------------------------------------------------------===//
#pragma once

#include "Path.h"

#include <cstddef>
#include <cstdint>

// The most VMs the launcher lists (and probes, each for up to 20 seconds).
constexpr std::size_t kMaxVms = 32;

// Which file a path leads to, as the file system numbers it: the volume's
// serial number and the file's index on it are the same under every name of
// the file. Unknown where the file could not be opened.
struct FileIdentity {
    bool known = false;
    std::uint32_t volume = 0;
    std::uint64_t index = 0;
};

class VmRoster {
public:
    // Adds fullPath and answers true; false when the roster is full or it names
    // a VM already listed: the same file by its identity where both identities
    // are known, else the same path, letter case of ASCII letters aside (the
    // file system ignores case, and the user's locale does not come into it).
    bool add(const char* fullPath, const FileIdentity& identity = FileIdentity());
    bool full() const { return count_ == kMaxVms; }
    std::size_t size() const { return count_; }

private:
    char paths_[kMaxVms][kMaxPath] = {};
    FileIdentity identities_[kMaxVms];
    std::size_t count_ = 0;
};
