//===- BatchCommand.h - The command line kept in a batch file ------------===//
//
// The start and stop commands are the fourth line of "\start.bat" and
// "\stop.bat", cut before the line's first percent sign, where the batch
// parameters begin. The file is read as text: CR LF ends a line as LF does,
// and a Ctrl-Z ends the file. The reader takes the file in pieces, so a line
// may be of any length and no more of the file is read than the command needs.
// extractCommand, the file half, is Windows only (BatchCommandWin32.cpp).
//
//===----------------------------------------------------------------------===//
#pragma once

#include "GrowingText.h"
#include "LeadByte.h"

#include <cstddef>
#include <utility>

class BatchCommandReader {
public:
    explicit BatchCommandReader(LeadBytePredicate isLeadByte = noLeadBytes)
        : isLeadByte_(isLeadByte) {}

    // Takes the next piece of the file. Returns false once the command is
    // complete; later pieces are then ignored.
    bool feed(const char* bytes, std::size_t count);

    // The end of the file: a carriage return left last is an ordinary character.
    void finish();

    // The command as far as the file went: a file of fewer than four lines
    // gives an empty one. Nothing is trimmed.
    const GrowingText& command() const { return command_; }
    GrowingText takeCommand() { return std::move(command_); }

private:
    static constexpr int kCommandLine = 3; // counted from 0

    LeadBytePredicate isLeadByte_;
    int linesEnded_ = 0;
    bool complete_ = false;
    bool carriageReturnPending_ = false;
    bool trailByteExpected_ = false;
    GrowingText command_;
};

// Reads the command out of the batch file at path into command. On a file
// that cannot be opened or read, or memory that runs out, command is left as
// it was and the result is false.
bool extractCommand(const char* path, GrowingText& command);
