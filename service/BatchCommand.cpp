//===- BatchCommand.cpp - The command line kept in a batch file ----------===//
#include "BatchCommand.h"

namespace {
// Read as text, a file ends at its first Ctrl-Z, as editors of old wrote it
// after the last line; what follows it is never read.
constexpr char kEndOfText = '\x1a';
} // namespace

bool BatchCommandReader::feed(const char* bytes, std::size_t count) {
    const char* cursor = bytes;
    const char* const end = bytes + count;
    while (!complete_ && cursor != end) {
        const char byte = *cursor++;
        if (byte == kEndOfText) {
            finish();
            break;
        }
        if (linesEnded_ < kCommandLine) {
            // Before the command's line only newlines matter: a carriage
            // return before one is part of the line being skipped.
            if (byte == '\n')
                ++linesEnded_;
            continue;
        }

        if (carriageReturnPending_) {
            carriageReturnPending_ = false;
            if (byte == '\n') {
                complete_ = true;
                break;
            }
            // A carriage return that no line feed follows is an ordinary character.
            command_.append('\r');
        }
        // Line ends come before double-byte characters, as when a file is
        // read as text: no code page has them as a trail byte.
        if (byte == '\n') {
            complete_ = true;
        } else if (byte == '\r') {
            carriageReturnPending_ = true;
            trailByteExpected_ = false;
        } else if (trailByteExpected_) {
            trailByteExpected_ = false;
            command_.append(byte);
        } else if (byte == '%') {
            complete_ = true;
        } else {
            trailByteExpected_ = isLeadByte_(static_cast<unsigned char>(byte));
            command_.append(byte);
        }
    }
    return !complete_;
}

void BatchCommandReader::finish() {
    if (carriageReturnPending_ && !complete_) {
        carriageReturnPending_ = false;
        command_.append('\r');
    }
    complete_ = true;
}
