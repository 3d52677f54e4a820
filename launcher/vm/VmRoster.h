//===- VmRoster.h - The Java VMs listed so far, each once -----------------===//
//
// The same java.exe can be registered under several keys, named by JAVA_HOME
// and found on PATH. The roster keeps the full path of every VM listed, so that
// the first place that found one keeps it, and it stops the search at kMaxVms.
//
//===----------------------------------------------------------------------===//
#pragma once

#include "Path.h"

#include <cstddef>

// The most VMs the launcher lists (and probes, each for up to 20 seconds).
constexpr std::size_t kMaxVms = 32;

class VmRoster {
public:
    // Adds fullPath and answers true; false when it names a VM already listed,
    // letter case of ASCII letters aside (the file system ignores case, and the
    // user's locale does not come into it), or the roster is full.
    bool add(const char* fullPath);
    bool full() const { return count_ == kMaxVms; }
    std::size_t size() const { return count_; }

private:
    char paths_[kMaxVms][kMaxPath] = {};
    std::size_t count_ = 0;
};
