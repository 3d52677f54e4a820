//===- VmReport.h - The list-mode report ---------------------------------===//
//
// The count of VMs found, then one line for each: "YES " or "NO " and its path.
// Lines end in "\n"; a stream opened in text mode on Windows writes CR LF.
//
//===----------------------------------------------------------------------===//
#pragma once

#include "VmRoster.h"

#include <cstddef>

struct ReportEntry {
    bool qualified;
    const char* path;
};

// Room for the count line and a line for each of kMaxVms paths of the longest.
constexpr std::size_t kMaxReport = kMaxVms * (4 + kMaxPath) + 16;

// Writes the report into out; false, and out empty, when it does not fit.
bool formatReport(const ReportEntry* entries, std::size_t count, char* out, std::size_t size);
