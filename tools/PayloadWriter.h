//===- PayloadWriter.h - Builds the payload appended to a launcher --------===//
//
// The writing half of the payload format, for the build machine. It refuses
// what the launcher could not read back: see validatePayload.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct RecordInput {
    std::string name; // without the prefix
    std::vector<unsigned char> data;
};

// Launchers are written to a multiple of this many bytes, with zero bytes between
// the last record and the trailer: Authenticode signing puts its certificate
// table at such a boundary, so that a signature then adds no padding and the
// trailer stays right before the table, where the launcher looks for it.
constexpr std::size_t kSigningAlignment = 8;

// Why the launcher could not work with a payload whose first three records
// have these names (null where the payload has no such record) and whose
// first record holds the requirement text (null where it cannot be read):
// the records out of their roles (CommandLine, URL, the installer's
// CLASS.class, in that order) and alternatives that no VM could meet. One text
// each; empty when the payload can work.
std::vector<std::string> roleProblems(const char* const (&names)[3], const char* requirement);

// The reasons a payload is refused, one text each: what the launcher could not
// read back, and the problems of roleProblems. Empty when it can be written.
std::vector<std::string> validatePayload(std::uint64_t stubSize,
                                         const std::vector<RecordInput>& records);

// The stub followed by the records, the zero bytes that make the whole a multiple
// of kSigningAlignment, and the trailer. Call validatePayload first.
std::vector<unsigned char> appendPayload(const std::vector<unsigned char>& stub,
                                         const std::vector<RecordInput>& records);
