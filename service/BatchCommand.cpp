//===- BatchCommand.cpp - The command line kept in a batch file ----------===//
#include "BatchCommand.h"

#include <cstring>

namespace {
// Read as text, a file ends at its first Ctrl-Z, as editors of old wrote it
// after the last line; what follows it is never read.
constexpr char kEndOfText = '\x1a';
} // namespace

void BatchCommandReader::checkUtf8(unsigned char byte) {
    if (continuationsDue_ > 0) {
        if (byte < nextLow_ || byte > nextHigh_)
            validUtf8_ = false;
        --continuationsDue_;
        nextLow_ = 0x80;
        nextHigh_ = 0xBF;
        return;
    }
    if (byte < 0x80)
        return;
    if (byte >= 0xC2 && byte <= 0xDF) {
        continuationsDue_ = 1;
    } else if (byte >= 0xE0 && byte <= 0xEF) {
        continuationsDue_ = 2;
        if (byte == 0xE0)
            nextLow_ = 0xA0;
        else if (byte == 0xED)
            nextHigh_ = 0x9F;
    } else if (byte >= 0xF0 && byte <= 0xF4) {
        continuationsDue_ = 3;
        if (byte == 0xF0)
            nextLow_ = 0x90;
        else if (byte == 0xF4)
            nextHigh_ = 0x8F;
    } else {
        validUtf8_ = false;
    }
}

bool BatchCommandReader::feed(const char* bytes, std::size_t count) {
    const char* cursor = bytes;
    const char* const end = bytes + count;
    while (!lineEnded_ && cursor != end) {
        const char byte = *cursor++;
        if (byte == kEndOfText) {
            finish();
            break;
        }
        checkUtf8(static_cast<unsigned char>(byte));
        if (linesEnded_ < kCommandLine) {
            // Before the command's line only newlines matter: a carriage
            // return before one is part of the line being skipped.
            if (byte == '\n')
                ++linesEnded_;
            continue;
        }
        // Line ends come before double-byte characters, as when a file is
        // read as text: no code page has them as a trail byte. A carriage
        // return before the line feed is not part of the line.
        if (byte == '\n') {
            carriageReturnPending_ = false;
            lineEnded_ = true;
            break;
        }
        if (cut_)
            continue;
        if (carriageReturnPending_) {
            // A carriage return that no line feed follows is an ordinary character.
            carriageReturnPending_ = false;
            command_.append('\r');
        }
        if (byte == '\r') {
            carriageReturnPending_ = true;
            trailByteExpected_ = false;
        } else if (trailByteExpected_) {
            trailByteExpected_ = false;
            command_.append(byte);
        } else if (byte == '%') {
            cut_ = true;
        } else {
            trailByteExpected_ = isLeadByte_(static_cast<unsigned char>(byte));
            command_.append(byte);
        }
    }
    return !lineEnded_;
}

void BatchCommandReader::finish() {
    if (finished_)
        return;
    finished_ = true;
    lineEnded_ = true;
    if (carriageReturnPending_ && !cut_) {
        carriageReturnPending_ = false;
        command_.append('\r');
    }
    if (continuationsDue_ > 0)
        validUtf8_ = false;
    // Read as UTF-8, the command ends at the first percent sign: every one
    // that the lead-byte rule took for a trail byte is the command's end.
    if (validUtf8_) {
        if (const void* percent = std::memchr(command_.c_str(), '%', command_.size()))
            command_.truncate(
                static_cast<std::size_t>(static_cast<const char*>(percent) - command_.c_str()));
    }
}
