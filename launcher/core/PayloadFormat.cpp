#include "PayloadFormat.h"

#include "BoundedText.h"

#include <cstring>

namespace payload {

std::uint32_t decodeUInt32(const unsigned char bytes[4]) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

void encodeUInt32(std::uint32_t value, unsigned char bytes[4]) {
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<unsigned char>(value >> (8 * i));
}

bool stubSizeSpellsPrefix(std::uint32_t stubSize) {
    unsigned char bytes[4];
    encodeUInt32(stubSize, bytes);
    return std::memcmp(bytes, kPrefix, kPrefixSize) == 0;
}

bool MemorySource::seek(std::uint32_t offset) {
    if (offset > size_)
        return false;
    position_ = offset;
    return true;
}

bool MemorySource::read(void* buffer, std::uint32_t count) {
    if (count > size_ - position_)
        return false;
    std::memcpy(buffer, bytes_ + position_, count);
    position_ += count;
    return true;
}

namespace {

bool readUInt32(PayloadSource& source, std::uint32_t& value) {
    unsigned char bytes[4];
    if (!source.read(bytes, 4))
        return false;
    value = decodeUInt32(bytes);
    return true;
}

// Reads one record at position; false when there is none to take.
bool readRecord(PayloadSource& source, std::uint32_t position, std::uint32_t payloadEnd,
                RecordHeader& header) {
    if (!source.seek(position))
        return false;
    char prefix[kPrefixSize];
    if (!source.read(prefix, kPrefixSize) || std::memcmp(prefix, kPrefix, kPrefixSize) != 0)
        return false;

    std::size_t nameLength = 0;
    for (;;) {
        char c;
        if (!source.read(&c, 1))
            return false;
        header.name[nameLength] = c;
        if (c == '\0')
            break;
        if (++nameLength > kMaxNameLength)
            return false;
    }

    if (!readUInt32(source, header.reserved) || !readUInt32(source, header.length))
        return false;
    // Computed rather than asked for, so that it cannot disagree with what was read.
    std::uint64_t dataOffset = std::uint64_t{position} + kPrefixSize + nameLength + 1 + 8;
    if (dataOffset > payloadEnd || header.length > payloadEnd - dataOffset)
        return false;
    header.dataOffset = static_cast<std::uint32_t>(dataOffset);
    return true;
}

// Seeks to offset, but only when count bytes from there lie inside the file.
bool seekInside(PayloadSource& source, std::uint32_t fileSize, std::uint64_t offset,
                std::uint32_t count) {
    return offset <= fileSize && count <= fileSize - offset &&
           source.seek(static_cast<std::uint32_t>(offset));
}

bool readInside(PayloadSource& source, std::uint32_t fileSize, std::uint64_t offset, void* buffer,
                std::uint32_t count) {
    return seekInside(source, fileSize, offset, count) && source.read(buffer, count);
}

bool readUInt32Inside(PayloadSource& source, std::uint32_t fileSize, std::uint64_t offset,
                      std::uint32_t& value) {
    return seekInside(source, fileSize, offset, 4) && readUInt32(source, value);
}

std::uint32_t decodeUInt16(const unsigned char bytes[2]) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8;
}

// Where the PE headers keep what the certificate search needs.
constexpr std::uint32_t kPeHeaderPointer = 0x3C; // in the DOS header
constexpr std::uint32_t kFileHeaderSize = 24;    // "PE\0\0" and the COFF file header
constexpr std::uint32_t kSectionCountAt = 6;     // in the file header
constexpr std::uint32_t kOptionalSizeAt = 20;
constexpr std::uint32_t kSectionHeaderSize = 40;
constexpr std::uint32_t kHeadersSizeAt = 60; // in the optional header, both kinds
constexpr std::uint32_t kPe32Magic = 0x10B;
constexpr std::uint32_t kPe32PlusMagic = 0x20B;
constexpr std::uint32_t kPe32Directories = 96; // the data directory, after its count
constexpr std::uint32_t kPe32PlusDirectories = 112;
constexpr std::uint32_t kSecurityEntry = 4;
constexpr std::uint32_t kDirectoryEntrySize = 8;

} // namespace

CertificateTable findCertificateTable(PayloadSource& source, std::uint32_t fileSize) {
    CertificateTable table;
    unsigned char dosMagic[2];
    std::uint32_t peHeader = 0;
    if (!readInside(source, fileSize, 0, dosMagic, 2) || dosMagic[0] != 'M' || dosMagic[1] != 'Z' ||
        !readUInt32Inside(source, fileSize, kPeHeaderPointer, peHeader))
        return table;

    unsigned char fileHeader[kFileHeaderSize];
    if (!readInside(source, fileSize, peHeader, fileHeader, kFileHeaderSize) ||
        std::memcmp(fileHeader, "PE\0\0", 4) != 0)
        return table;
    const std::uint32_t sectionCount = decodeUInt16(fileHeader + kSectionCountAt);
    const std::uint32_t optionalSize = decodeUInt16(fileHeader + kOptionalSizeAt);
    const std::uint64_t optional = std::uint64_t{peHeader} + kFileHeaderSize;

    unsigned char optionalMagic[2];
    if (!readInside(source, fileSize, optional, optionalMagic, 2))
        return table;
    std::uint32_t directories = 0;
    if (decodeUInt16(optionalMagic) == kPe32Magic)
        directories = kPe32Directories;
    else if (decodeUInt16(optionalMagic) == kPe32PlusMagic)
        directories = kPe32PlusDirectories;
    else
        return table;
    // The entry counts only when the header declares it: within the optional
    // header's size, and within the directory's own count.
    const std::uint32_t entry = directories + kSecurityEntry * kDirectoryEntrySize;
    std::uint32_t directoryCount = 0;
    std::uint32_t headersSize = 0;
    if (optionalSize < entry + kDirectoryEntrySize ||
        !readUInt32Inside(source, fileSize, optional + directories - 4, directoryCount) ||
        directoryCount <= kSecurityEntry ||
        !readUInt32Inside(source, fileSize, optional + kHeadersSizeAt, headersSize) ||
        !readUInt32Inside(source, fileSize, optional + entry, table.offset) ||
        !readUInt32Inside(source, fileSize, optional + entry + 4, table.size)) {
        table.offset = table.size = 0;
        return table;
    }
    if (table.offset == 0 && table.size == 0)
        return table;

    std::uint64_t headersEnd =
        optional + optionalSize + std::uint64_t{sectionCount} * kSectionHeaderSize;
    if (headersSize > headersEnd)
        headersEnd = headersSize;
    const std::uint64_t tableEnd = std::uint64_t{table.offset} + table.size;
    table.state = CertificateState::ignored;
    if (tableEnd > fileSize)
        table.whyIgnored = "reaches outside the file";
    else if (table.size == 0)
        table.whyIgnored = "is empty";
    else if (table.offset < headersEnd)
        table.whyIgnored = "overlaps the headers";
    else if (tableEnd != fileSize)
        table.whyIgnored = "does not end at the end of the file";
    else
        table.state = CertificateState::present;
    return table;
}

PayloadLocation locatePayload(PayloadSource& source, std::uint32_t fileSize) {
    PayloadLocation location;
    location.certificate = findCertificateTable(source, fileSize);
    location.end = location.certificate.state == CertificateState::present
                       ? location.certificate.offset
                       : fileSize;
    if (location.end >= kTrailerSize &&
        readUInt32Inside(source, fileSize, location.end - kTrailerSize, location.start))
        location.hasTrailer = true;
    return location;
}

bool isAcceptableLayout(const char* firstName, const char* secondName, bool hasThird) {
    return firstName != nullptr && equalsIgnoringCase(firstName, "commandline") &&
           secondName != nullptr && equalsIgnoringCase(secondName, "url") && hasThird;
}

std::size_t scanRecords(PayloadSource& source, std::uint32_t start, std::uint32_t end,
                        RecordSink& sink) {
    if (end < kTrailerSize || start > end)
        return 0;
    const std::uint32_t payloadEnd = end - kTrailerSize;

    std::size_t count = 0;
    std::uint32_t position = start;
    while (count < kMaxRecords) {
        RecordHeader header{};
        if (!readRecord(source, position, payloadEnd, header))
            break;
        sink.addRecord(header);
        ++count;
        // Each record takes at least twelve bytes, so the position only grows.
        position = header.dataOffset + header.length;
    }
    return count;
}

bool readRecordText(PayloadSource& source, std::uint32_t offset, char (&out)[kTextBufferSize]) {
    out[0] = '\0';
    if (!source.seek(offset))
        return false;
    for (std::size_t i = 0; i < kTextBufferSize; ++i) {
        char c;
        if (!source.read(&c, 1)) {
            out[0] = '\0';
            return false;
        }
        out[i] = c;
        if (c == '\0')
            return true;
    }
    out[0] = '\0';
    return false;
}

} // namespace payload
