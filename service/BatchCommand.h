//===- BatchCommand.h - The command line kept in a batch file ------------===//
//
// The start and stop commands are the fourth line of "\start.bat" and
// "\stop.bat", cut before the line's first percent sign, where the batch
// parameters begin. The file is read as text: CR LF ends a line as LF does,
// and a Ctrl-Z ends the file. The reader takes the file in pieces, so a line
// may be of any length and no more of the file is read than its first four
// lines.
//
// A batch file is in one of two encodings: UTF-8, as today's editors save it,
// or the system's ANSI code page, as it always was. The first four lines
// decide: when they are valid UTF-8 (pure ASCII is), the file is taken as
// UTF-8; otherwise it is in the ANSI code page. The percent sign is looked for
// in the encoding the file is in: under a double-byte ANSI code page the
// search steps over double-byte characters, in UTF-8 no byte of a character
// can be one. extractCommand, the file half, is Windows only
// (BatchCommandWin32.cpp): it stores the command in the code page of the
// program's "A" functions.
//
//===----------------------------------------------------------------------===//
#pragma once

#include "GrowingText.h"
#include "LeadByte.h"

#include <cstddef>
#include <utility>

enum class BatchEncoding { Utf8, SystemCodePage };

class BatchCommandReader {
public:
    // isLeadByte answers for the system's ANSI code page.
    explicit BatchCommandReader(LeadBytePredicate isLeadByte = noLeadBytes)
        : isLeadByte_(isLeadByte) {}

    // Takes the next piece of the file. Returns false once the fourth line has
    // ended; later pieces are then ignored.
    bool feed(const char* bytes, std::size_t count);

    // The end of the file: a carriage return left last is an ordinary
    // character, and the encoding is decided.
    void finish();

    // After finish: the encoding of the file, and the command in that encoding
    // as far as the file went (a file of fewer than four lines gives an empty
    // one). Nothing is trimmed.
    BatchEncoding encoding() const {
        return validUtf8_ ? BatchEncoding::Utf8 : BatchEncoding::SystemCodePage;
    }
    const GrowingText& command() const { return command_; }
    GrowingText takeCommand() { return std::move(command_); }

private:
    static constexpr int kCommandLine = 3; // counted from 0

    void checkUtf8(unsigned char byte);

    LeadBytePredicate isLeadByte_;
    int linesEnded_ = 0;
    bool lineEnded_ = false;
    bool finished_ = false;
    // The percent sign that ends the command under the ANSI code page has been
    // seen; the rest of the line is read only for the encoding.
    bool cut_ = false;
    bool carriageReturnPending_ = false;
    bool trailByteExpected_ = false;
    bool validUtf8_ = true;
    // Of the UTF-8 character begun: the continuation bytes still due, and the
    // range the next one must lie in (narrower after some first bytes, which
    // rules out overlong forms, surrogates and values past U+10FFFF).
    int continuationsDue_ = 0;
    unsigned char nextLow_ = 0x80;
    unsigned char nextHigh_ = 0xBF;
    GrowingText command_;
};

// Reads the command out of the batch file at path into command. On a file
// that cannot be opened or read, a command that the program's code page cannot
// spell, or memory that runs out, command is left as it was and the result is
// false.
bool extractCommand(const char* path, GrowingText& command);
