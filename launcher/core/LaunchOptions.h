//===- LaunchOptions.h - What the command tail asks of the launcher -------===//
//
// A tail that begins with "/" or "--" holds options; any other tail that is
// not empty is a requirement string for list mode, read exactly as it always
// was (an alternative has two colons and never begins with "/"). The options,
// matched without regard to the case of ASCII letters, come before anything
// else:
//   /quiet       no window at all
//   /log FILE    append a line for each thing the launcher does to FILE (in
//                double quotes when it holds a blank)
//   --           the rest of the tail, after the blanks that follow, goes to
//                the installer class verbatim
//
//===----------------------------------------------------------------------===//
#pragma once

#include "Path.h"

enum class TailKind {
    // No tail, or options: the installation, with or without its dialogs.
    Options,
    // A requirement string for list mode.
    Requirement,
    // An option the launcher does not know, a /log without its file, or a word
    // that is no option before "--". The options around it are read all the same.
    Invalid,
};

struct LaunchOptions {
    bool quiet = false;
    // Empty without /log.
    char logFile[kMaxPath] = {};
    // What follows "--" in the tail; null without "--" or when nothing follows it.
    const char* installerArguments = nullptr;
};

TailKind readCommandTail(const char* tail, LaunchOptions& options);
