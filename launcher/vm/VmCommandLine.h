//===- VmCommandLine.h - Command lines and environments for Java VMs ------===//
//
// Builds, in fixed buffers, what a Java VM is started with: the tail that names
// the class (with the kind's class-path option), the whole command line with
// the quoted executable, and an environment block with CLASSPATH set. Each
// answers false, leaving nothing half-written, when the result does not fit.
//
//===----------------------------------------------------------------------===//
#pragma once

#include "Path.h"

#include <cstddef>

// The tail holds the class directory, a path; the command line the VM's path
// and the tail.
constexpr std::size_t kMaxTail = kMaxPath;
constexpr std::size_t kMaxCommandLine = 2 * kMaxPath;

// The class directory as it goes on a command line: as it is when it holds no
// blank, otherwise in double quotes without its trailing backslash (a backslash
// before the closing quote would escape it for the C runtime's parser).
bool quoteDirectory(const char* directory, char* out, std::size_t size);

// [classPathOption directory ' '] className [' ' arguments]. A null or empty
// option leaves out the class path (the VM then finds the class through its
// working directory); null arguments leave out the argument text.
bool buildClassTail(const char* classPathOption, const char* classDirectory, const char* className,
                    const char* arguments, char* out, std::size_t size);

// "executable" [' ' arguments]
bool buildCommandLine(const char* executable, const char* arguments, char* out, std::size_t size);

// Copies an environment block (NAME=value texts, each ended by a NUL, the block
// by one more) with the variable name set to value: an entry of that name, in
// any letter case, is replaced. Returns the size the new block needs; it is
// written into out only when it fits in size bytes.
std::size_t environmentWith(const char* block, const char* name, const char* value, char* out,
                            std::size_t size);
