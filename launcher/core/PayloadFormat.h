//===- PayloadFormat.h - The payload appended to the launcher --------------===//
//
// Layout of a launcher file: the executable image (S bytes), then the records
// one after the other, then a four-byte little-endian trailer holding S. A record
// is the prefix "qvx", its name (at most 19 characters and a NUL), a reserved
// word (0), the data length, and the data. All numbers are unsigned 32-bit
// little-endian; nothing is padded.
//
// The reader here is shared by the launcher and the payload tool. It reads
// through a PayloadSource, which the launcher backs with its own executable and
// the tool with a file of the build machine.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstddef>
#include <cstdint>

namespace payload {

constexpr char kPrefix[3] = {'q', 'v', 'x'};
constexpr std::size_t kPrefixSize = 3;
constexpr std::size_t kMaxNameLength = 19;
constexpr std::size_t kMaxRecords = 10;
constexpr std::size_t kTrailerSize = 4;
// The texts of the first two records end in a NUL within this many bytes.
constexpr std::size_t kTextBufferSize = 260;

struct RecordHeader {
    char name[kMaxNameLength + 1];
    std::uint32_t reserved;
    std::uint32_t length;
    std::uint32_t dataOffset;
};

class PayloadSource {
public:
    virtual ~PayloadSource() = default;
    // Both answer false when the call fails; read also when fewer bytes than asked
    // were there. Either may instead raise the launcher's exception, which the
    // reader lets through untouched.
    virtual bool seek(std::uint32_t offset) = 0;
    virtual bool read(void* buffer, std::uint32_t count) = 0;
};

// A payload source over bytes in memory, for the build machine and the tests.
class MemorySource : public PayloadSource {
public:
    MemorySource(const unsigned char* bytes, std::size_t size) : bytes_(bytes), size_(size) {}
    bool seek(std::uint32_t offset) override;
    bool read(void* buffer, std::uint32_t count) override;

private:
    const unsigned char* bytes_;
    std::size_t size_;
    std::size_t position_ = 0;
};

class RecordSink {
public:
    virtual ~RecordSink() = default;
    virtual void addRecord(const RecordHeader& header) = 0;
};

// Reads the records from start on and hands each complete one to the sink, in
// payload order, at most kMaxRecords of them. Stops quietly at the first place
// that is not a record: a missing prefix (the trailer, normally), a name without
// its NUL within 20 bytes, a record whose data would reach into the trailer or
// past the end of the file, or a failed read. A start past the end yields no
// record. Returns the number of records handed over.
std::size_t scanRecords(PayloadSource& source, std::uint32_t start, std::uint32_t fileSize,
                        RecordSink& sink);

// Reads the NUL-terminated text at offset into out (kTextBufferSize bytes).
// False when the text has no NUL within that many bytes or a read fails; out is
// then empty.
bool readRecordText(PayloadSource& source, std::uint32_t offset, char (&out)[kTextBufferSize]);

std::uint32_t decodeUInt32(const unsigned char bytes[4]);
void encodeUInt32(std::uint32_t value, unsigned char bytes[4]);

// The launcher takes a payload whose first record is named "commandline" and
// whose second is "url" (letter case aside), and which has a third record.
bool isAcceptableLayout(const char* firstName, const char* secondName, bool hasThird);

// A stub whose size, written as the trailer, spells the prefix in its low three
// bytes would make an empty payload look like a record.
bool stubSizeSpellsPrefix(std::uint32_t stubSize);

} // namespace payload
