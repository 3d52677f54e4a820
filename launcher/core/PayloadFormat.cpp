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

} // namespace

bool isAcceptableLayout(const char* firstName, const char* secondName, bool hasThird) {
    return firstName != nullptr && equalsIgnoringCase(firstName, "commandline") &&
           secondName != nullptr && equalsIgnoringCase(secondName, "url") && hasThird;
}

std::size_t scanRecords(PayloadSource& source, std::uint32_t start, std::uint32_t fileSize,
                        RecordSink& sink) {
    if (fileSize < kTrailerSize || start > fileSize)
        return 0;
    const std::uint32_t payloadEnd = fileSize - kTrailerSize;

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
