// The payload scan over arbitrary file bytes: the end of the payload (before a
// certificate table or at the end of the file), the trailer, the records and the
// launcher's acceptance of the first three, as the launcher reads its own file.
#include "FuzzCheck.h"
#include "PayloadFormat.h"

#include <cstring>

namespace {

struct Collected : payload::RecordSink {
    payload::RecordHeader headers[payload::kMaxRecords + 1];
    std::size_t count = 0;
    void addRecord(const payload::RecordHeader& header) override {
        FUZZ_CHECK(count < payload::kMaxRecords);
        headers[count++] = header;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    if (size > 0xFFFFFFFFu)
        return 0;
    const auto fileSize = static_cast<std::uint32_t>(size);
    payload::MemorySource source(data, size);
    const payload::PayloadLocation location = payload::locatePayload(source, fileSize);
    const payload::CertificateTable& table = location.certificate;
    if (table.state == payload::CertificateState::present) {
        FUZZ_CHECK(std::uint64_t{table.offset} + table.size == size && table.size > 0);
        FUZZ_CHECK(location.end == table.offset);
    } else {
        FUZZ_CHECK(location.end == size);
    }
    if (!location.hasTrailer) {
        FUZZ_CHECK(location.end < payload::kTrailerSize ||
                   table.state == payload::CertificateState::present);
        return 0;
    }
    FUZZ_CHECK(location.end >= payload::kTrailerSize);
    const std::uint32_t start = location.start;
    FUZZ_CHECK(start == payload::decodeUInt32(data + location.end - payload::kTrailerSize));
    Collected found;
    const std::size_t count = payload::scanRecords(source, start, location.end, found);
    FUZZ_CHECK(count == found.count && count <= payload::kMaxRecords);

    // Records lie in order between the start and the trailer, none overlapping
    // the next, each named by at most 19 characters and a NUL.
    std::uint64_t position = start;
    for (std::size_t i = 0; i < count; ++i) {
        const payload::RecordHeader& header = found.headers[i];
        const std::size_t nameLength = textLength(header.name, sizeof header.name);
        FUZZ_CHECK(nameLength <= payload::kMaxNameLength);
        FUZZ_CHECK(std::memcmp(data + position, payload::kPrefix, payload::kPrefixSize) == 0);
        FUZZ_CHECK(
            std::memcmp(data + position + payload::kPrefixSize, header.name, nameLength + 1) == 0);
        FUZZ_CHECK(header.dataOffset == position + payload::kPrefixSize + nameLength + 1 + 8);
        FUZZ_CHECK(std::uint64_t{header.dataOffset} + header.length <=
                   size - payload::kTrailerSize);
        position = std::uint64_t{header.dataOffset} + header.length;
    }

    // The launcher's acceptance: the layout, then both texts with their NUL.
    const bool layout =
        payload::isAcceptableLayout(count > 0 ? found.headers[0].name : nullptr,
                                    count > 1 ? found.headers[1].name : nullptr, count > 2);
    if (layout) {
        for (std::size_t i = 0; i < 2; ++i) {
            char text[payload::kTextBufferSize];
            const bool read = payload::readRecordText(source, found.headers[i].dataOffset, text);
            const std::size_t length = textLength(text, sizeof text);
            FUZZ_CHECK(length < sizeof text);
            FUZZ_CHECK(read || length == 0);
            if (read)
                FUZZ_CHECK(std::memcmp(text, data + found.headers[i].dataOffset, length + 1) == 0);
        }
    }
    return 0;
}
