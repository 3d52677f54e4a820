//===- PayloadFormat.h - The payload appended to the launcher --------------===//
//
// Layout of a launcher file: the executable image (S bytes), then the records
// one after the other, then a four-byte little-endian trailer holding S. A record
// is the prefix "qvx", its name (at most 19 characters and a NUL), a reserved
// word (0), the data length, and the data. All numbers are unsigned 32-bit
// little-endian; nothing is padded.
//
// A signed launcher carries an Authenticode certificate table after all of that,
// at the offset that the security entry of the PE data directory gives. The
// payload then ends where that table begins: the trailer is the four bytes just
// before it. An entry that does not describe a table ending exactly at the end
// of the file is ignored, and the file is read as if unsigned.
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
    // were there. A source that must tell the two apart keeps its failures itself.
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

enum class CertificateState {
    absent,  // no PE headers to read, or the security entry is empty
    present, // a table that ends exactly at the end of the file
    ignored, // the entry is set but malformed: the file reads as unsigned
};

struct CertificateTable {
    CertificateState state = CertificateState::absent;
    // The security entry as stored: a file offset and a size.
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
    // For an ignored entry, why, as a phrase that follows "the certificate table".
    const char* whyIgnored = nullptr;
};

// Reads the security entry of the PE data directory. Every header read is
// checked against fileSize first, so that damaged or hostile headers cannot
// make the reader look outside the file; headers that cannot be read give
// absent, like an unsigned file.
CertificateTable findCertificateTable(PayloadSource& source, std::uint32_t fileSize);

struct PayloadLocation {
    CertificateTable certificate;
    // Where the trailer ends: the offset of a present certificate table, or the
    // end of the file.
    std::uint32_t end = 0;
    bool hasTrailer = false;
    // The offset of the first record, as the trailer gives it.
    std::uint32_t start = 0;
};

// Finds the end of the payload and reads the trailer before it. hasTrailer is
// false when fewer than four bytes lie before the end or their read fails.
PayloadLocation locatePayload(PayloadSource& source, std::uint32_t fileSize);

class RecordSink {
public:
    virtual ~RecordSink() = default;
    virtual void addRecord(const RecordHeader& header) = 0;
};

// Reads the records from start on and hands each complete one to the sink, in
// payload order, at most kMaxRecords of them. end is where the trailer ends (the
// end of the file, or of the payload of a signed file). Stops quietly at the
// first place that is not a record: a missing prefix (the trailer or padding,
// normally), a name without its NUL within 20 bytes, a record whose data would
// reach into the trailer or past the end, or a failed read. A start past the end
// yields no record. Returns the number of records handed over.
std::size_t scanRecords(PayloadSource& source, std::uint32_t start, std::uint32_t end,
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
