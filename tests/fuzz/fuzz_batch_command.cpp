// The batch-file reader over arbitrary file bytes, fed in pieces of any size,
// under a single-byte and a double-byte code page.
#include "BatchCommand.h"
#include "FuzzCheck.h"

#include <cstring>

namespace {

// Shift-JIS: lead bytes 0x81-0x9F and 0xE0-0xFC.
bool shiftJisLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9f) || (byte >= 0xe0 && byte <= 0xfc);
}

GrowingText readCommand(const char* file, std::size_t size, std::size_t pieceSize,
                        LeadBytePredicate isLeadByte, BatchEncoding& encoding) {
    BatchCommandReader reader(isLeadByte);
    for (std::size_t offset = 0; offset < size; offset += pieceSize) {
        const std::size_t count = size - offset < pieceSize ? size - offset : pieceSize;
        if (!reader.feed(file + offset, count))
            break;
    }
    reader.finish();
    encoding = reader.encoding();
    return reader.takeCommand();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::size_t pieceSize = 1 + data[0] % 16;
    const LeadBytePredicate isLeadByte = (data[0] & 0x80) != 0 ? shiftJisLeadByte : noLeadBytes;
    const char* file = reinterpret_cast<const char*>(data + 1);
    const std::size_t fileSize = size - 1;

    BatchEncoding wholeEncoding = BatchEncoding::Utf8;
    BatchEncoding piecesEncoding = BatchEncoding::Utf8;
    const GrowingText whole = readCommand(file, fileSize, fileSize + 1, isLeadByte, wholeEncoding);
    const GrowingText pieces = readCommand(file, fileSize, pieceSize, isLeadByte, piecesEncoding);
    FUZZ_CHECK(!whole.failed() && !pieces.failed());
    FUZZ_CHECK(wholeEncoding == piecesEncoding);
    FUZZ_CHECK(whole.size() == pieces.size() &&
               std::memcmp(whole.c_str(), pieces.c_str(), whole.size()) == 0);
    FUZZ_CHECK(std::strlen(whole.c_str()) <= whole.size());

    // The command is the start of the fourth line, without its line end and
    // without a percent sign that begins a character.
    const char* line = file;
    const char* const end = file + fileSize;
    for (int ended = 0; ended < 3 && line != end; ++line)
        if (*line == '\n')
            ++ended;
    FUZZ_CHECK(whole.size() <= static_cast<std::size_t>(end - line));
    FUZZ_CHECK(std::memcmp(whole.c_str(), line, whole.size()) == 0);
    FUZZ_CHECK(std::memchr(whole.c_str(), '\n', whole.size()) == nullptr);
    // Ctrl-Z ends the file, as for a file read as text.
    if (const void* endOfText = std::memchr(file, 0x1A, fileSize))
        FUZZ_CHECK(whole.size() == 0 || line + whole.size() <= static_cast<const char*>(endOfText));
    // Only a trail byte of the ANSI code page may be a percent sign in the command.
    if (isLeadByte == noLeadBytes || wholeEncoding == BatchEncoding::Utf8)
        FUZZ_CHECK(std::memchr(whole.c_str(), '%', whole.size()) == nullptr);
    return 0;
}
