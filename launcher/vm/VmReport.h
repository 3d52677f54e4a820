//===- VmReport.h - What the search learns of each VM, and how it is told --===//
//
// The probe class prints its answer, YES or NO, and on the next line the VM's
// java.version; the runner reads the first bytes of that output (a first byte
// 'T' accepts a VM whatever its exit status) and keeps the version.
//
// The list-mode report: the count of VMs found, then one line for each, "YES "
// or "NO " and its path, each line ended by "\n" (a stream opened in text mode
// on Windows writes CR LF). And the list of the VMs found that the no-VM dialog
// shows when none qualified: each VM's path with the version its probe gave.
//
//===----------------------------------------------------------------------===//
#pragma once

#include "VmRoster.h"

#include <cstddef>

// How much of a VM's output the runner reads: the answer line and the version line.
constexpr std::size_t kMaxProbeOutput = 48;
// Room for a version and its NUL ("1.8.0_392", "17.0.9").
constexpr std::size_t kMaxVersion = 32;

// The second line of output (length bytes), when it is whole (a line end
// follows it), not empty and printable ASCII; otherwise an empty version and
// false. Whatever a VM prints, only such a text reaches the dialog.
bool probeVersion(const char* output, std::size_t length, char* version, std::size_t size);

struct ReportEntry {
    bool qualified;
    const char* path;
    // The version the probe gave, empty when it gave none.
    const char* version;
};

// Room for the count line and a line for each of kMaxVms paths of the longest.
constexpr std::size_t kMaxReport = kMaxVms * (4 + kMaxPath) + 16;

// Writes the report into out; false, and out empty, when it does not fit.
bool formatReport(const ReportEntry* entries, std::size_t count, char* out, std::size_t size);

// Room for a line for each of kMaxVms VMs of the longest paths and versions.
constexpr std::size_t kMaxFoundVms = kMaxVms * (kMaxPath + kMaxVersion + 24);

// A line for each VM, ended by CR LF (an edit control breaks lines there
// only): its path, then ": Java " and its version, or ": version unknown" for a
// VM whose probe gave none. False, and out empty, when it does not fit.
bool formatFoundVms(const ReportEntry* entries, std::size_t count, char* out, std::size_t size);
