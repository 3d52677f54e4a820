//===- PeImage.h - The headers of a PE image, and the fixups of a rewrite --===//
//
// Reads what a rewrite of the resources needs from a PE32 or PE32+ file (the
// alignments, the section table, the data directory, the checksum) and writes
// a new resource section into a copy of the file: where the old one was when
// it fits there, otherwise as a new last section, with the section table, the
// image and data sizes, the data directory and the checksum made to agree.
//
//===----------------------------------------------------------------------===//
#pragma once

#include "Bytes.h"

#include <cstdint>
#include <vector>

namespace pe {

struct Section {
    char name[8];
    std::uint32_t virtualSize;
    std::uint32_t virtualAddress;
    std::uint32_t rawSize;
    std::uint32_t rawOffset;
    std::uint32_t characteristics;
};

struct DataDirectory {
    std::uint32_t rva = 0;
    std::uint32_t size = 0;
};

constexpr unsigned kResourceDirectory = 2;
constexpr unsigned kSecurityDirectory = 4;

class PeImage {
public:
    // Throws a FormatError when the file is no PE image or its headers do not
    // hold together (sections outside the file, alignments that are no powers of two).
    explicit PeImage(const Bytes& file);

    bool isPe32Plus() const { return pe32Plus_; }
    std::uint32_t checksum() const { return checksum_; }
    std::size_t checksumOffset() const { return optionalHeader_ + 64; }
    const std::vector<Section>& sections() const { return sections_; }
    // An entry beyond the directory's count reads as empty.
    DataDirectory directory(unsigned index) const;
    // The section whose memory holds rva, or null.
    const Section* sectionAt(std::uint32_t rva) const;
    // The file bytes of a section, from rva to the end of its data in the file.
    ByteView sectionBytesFrom(std::uint32_t rva, const char* what) const;

    // Where a resource section of size bytes goes: at the old one's address when
    // it fits there, otherwise as a new last section. Throws when neither can take it.
    struct Placement {
        std::uint32_t rva;
        bool inPlace;
    };
    Placement placeResources(std::size_t size) const;
    // The file with content (written for placement.rva) as its resource section.
    Bytes withResourceSection(const Placement& placement, const Bytes& content) const;

private:
    // The section that holds the resource directory, or null when there is none.
    const Section* resourceSection() const;
    bool fitsInPlace(const Section& old, std::size_t size) const;
    std::uint64_t endOfSectionData() const;

    Bytes file_;
    bool pe32Plus_ = false;
    std::size_t peHeader_ = 0;
    std::size_t optionalHeader_ = 0;
    std::size_t sectionTable_ = 0;
    std::uint32_t sectionAlignment_ = 0;
    std::uint32_t fileAlignment_ = 0;
    std::uint32_t headersSize_ = 0;
    std::uint32_t checksum_ = 0;
    std::uint32_t directoryCount_ = 0;
    std::size_t directories_ = 0;
    std::vector<Section> sections_;
};

// The PE checksum of a whole file (the checksum field itself counted as zero),
// as Windows' CheckSumMappedFile computes it.
std::uint32_t computeChecksum(const Bytes& file, std::size_t checksumOffset);

// Sets the checksum of a PE file that carries one (a non-zero field) to the
// file's as it now is; leaves anything else untouched.
void updateChecksum(Bytes& file);

} // namespace pe
