//===- PayloadWriter.h - Builds the payload appended to a launcher --------===//
//
// The writing half of the payload format, for the build machine. It refuses
// what the launcher could not read back: see validatePayload.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct RecordInput {
    std::string name; // without the prefix
    std::vector<unsigned char> data;
};

// The reasons a payload is refused, one text each; empty when it can be written.
std::vector<std::string> validatePayload(std::uint64_t stubSize,
                                         const std::vector<RecordInput>& records);

// The stub followed by the records and the trailer. Call validatePayload first.
std::vector<unsigned char> appendPayload(const std::vector<unsigned char>& stub,
                                         const std::vector<RecordInput>& records);
