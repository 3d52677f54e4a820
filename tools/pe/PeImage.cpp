#include "PeImage.h"

#include <algorithm>
#include <cstring>

namespace pe {

namespace {

// Offsets in the COFF file header (after "PE\0\0") and the optional header.
constexpr std::size_t kSectionCountAt = 6;
constexpr std::size_t kOptionalSizeAt = 20;
constexpr std::size_t kOptionalHeaderAt = 24;
constexpr std::size_t kInitializedDataAt = 8;
constexpr std::size_t kSectionAlignmentAt = 32;
constexpr std::size_t kFileAlignmentAt = 36;
constexpr std::size_t kImageSizeAt = 56;
constexpr std::size_t kHeadersSizeAt = 60;
constexpr std::size_t kChecksumAt = 64;
constexpr std::size_t kSectionHeaderSize = 40;
// Windows loads no image with more sections than this.
constexpr std::uint32_t kMaxSections = 96;
constexpr std::uint32_t kMaxDirectories = 16;
constexpr std::uint32_t kInitializedReadOnlyData = 0x40000040;
const char kResourceSectionName[8] = {'.', 'r', 's', 'r', 'c', 0, 0, 0};
// The old resource section, left in place with its bytes zeroed when the new one
// goes last: the loader wants the sections' addresses without gaps.
const char kUnusedSectionName[8] = {'.', 'u', 'n', 'u', 's', 'e', 'd', 0};

bool isPowerOfTwo(std::uint32_t value) {
    return value != 0 && (value & (value - 1)) == 0;
}

std::uint32_t span(const Section& section) {
    return section.virtualSize != 0 ? section.virtualSize : section.rawSize;
}

} // namespace

PeImage::PeImage(const Bytes& file) : file_(file) {
    ByteView view(file_, "the file");
    require(view.size() >= 64 && view.u16(0) == 0x5A4D, "the file is no PE image (no MZ header)");
    peHeader_ = view.u32(0x3C);
    require(fits(view.size(), peHeader_, kOptionalHeaderAt) &&
                std::memcmp(view.at(peHeader_, 4), "PE\0\0", 4) == 0,
            "the file is no PE image (no PE signature)");
    const std::uint32_t sectionCount = view.u16(peHeader_ + kSectionCountAt);
    const std::uint32_t optionalSize = view.u16(peHeader_ + kOptionalSizeAt);
    optionalHeader_ = peHeader_ + kOptionalHeaderAt;
    const std::uint32_t magic = view.u16(optionalHeader_);
    require(magic == 0x10B || magic == 0x20B,
            "the optional header's magic " + hex(magic) + " is neither PE32 nor PE32+");
    pe32Plus_ = magic == 0x20B;
    const std::size_t countAt = pe32Plus_ ? 108 : 92;
    directoryCount_ = view.u32(optionalHeader_ + countAt);
    directories_ = optionalHeader_ + countAt + 4;
    require(directoryCount_ <= kMaxDirectories &&
                countAt + 4 + std::uint64_t{directoryCount_} * 8 <= optionalSize,
            "the data directory does not fit the optional header");
    sectionAlignment_ = view.u32(optionalHeader_ + kSectionAlignmentAt);
    fileAlignment_ = view.u32(optionalHeader_ + kFileAlignmentAt);
    require(isPowerOfTwo(sectionAlignment_) && isPowerOfTwo(fileAlignment_) &&
                fileAlignment_ <= sectionAlignment_,
            "the section and file alignments are not powers of two, the first at least the second");
    headersSize_ = view.u32(optionalHeader_ + kHeadersSizeAt);
    checksum_ = view.u32(optionalHeader_ + kChecksumAt);

    require(sectionCount <= kMaxSections, "the image has more than 96 sections");
    sectionTable_ = optionalHeader_ + optionalSize;
    view.at(sectionTable_, std::uint64_t{sectionCount} * kSectionHeaderSize);
    for (std::uint32_t i = 0; i < sectionCount; ++i) {
        const std::size_t entry = sectionTable_ + i * kSectionHeaderSize;
        Section section;
        std::memcpy(section.name, view.at(entry, 8), 8);
        section.virtualSize = view.u32(entry + 8);
        section.virtualAddress = view.u32(entry + 12);
        section.rawSize = view.u32(entry + 16);
        section.rawOffset = view.u32(entry + 20);
        section.characteristics = view.u32(entry + 36);
        require(fits(view.size(), section.rawOffset, section.rawSize),
                "section " + std::to_string(i + 1) + " lies outside the file");
        require(std::uint64_t{section.virtualAddress} + span(section) <= 0xFFFFFFFFu,
                "section " + std::to_string(i + 1) + " reaches past 4 GiB");
        sections_.push_back(section);
    }
}

DataDirectory PeImage::directory(unsigned index) const {
    DataDirectory entry;
    if (index < directoryCount_) {
        ByteView view(file_, "the file");
        entry.rva = view.u32(directories_ + index * 8);
        entry.size = view.u32(directories_ + index * 8 + 4);
    }
    return entry;
}

const Section* PeImage::sectionAt(std::uint32_t rva) const {
    for (const Section& section : sections_)
        if (rva >= section.virtualAddress && rva - section.virtualAddress < span(section))
            return &section;
    return nullptr;
}

ByteView PeImage::sectionBytesFrom(std::uint32_t rva, const char* what) const {
    const Section* section = sectionAt(rva);
    require(section != nullptr, std::string(what) + " at " + hex(rva) + " lies in no section");
    const std::uint32_t inside = rva - section->virtualAddress;
    const std::uint32_t inFile = std::min(section->rawSize, span(*section));
    const std::uint32_t available = inFile > inside ? inFile - inside : 0;
    return ByteView(file_.data() + section->rawOffset + (available ? inside : 0), available, what);
}

const Section* PeImage::resourceSection() const {
    const DataDirectory resources = directory(kResourceDirectory);
    if (resources.rva == 0 && resources.size == 0)
        return nullptr;
    const Section* section = sectionAt(resources.rva);
    require(section != nullptr && section->virtualAddress == resources.rva,
            "the resource directory does not begin a section of its own");
    for (unsigned i = 0; i < directoryCount_; ++i) {
        const DataDirectory other = directory(i);
        if (i == kResourceDirectory || i == kSecurityDirectory || other.size == 0)
            continue;
        require(std::uint64_t{other.rva} + other.size <= section->virtualAddress ||
                    other.rva >= std::uint64_t{section->virtualAddress} + span(*section),
                "the resource section also holds the data of directory entry " + std::to_string(i));
    }
    return section;
}

std::uint64_t PeImage::endOfSectionData() const {
    std::uint64_t end = headersSize_;
    for (const Section& section : sections_)
        if (section.rawSize != 0)
            end = std::max(end, std::uint64_t{section.rawOffset} + section.rawSize);
    return end;
}

bool PeImage::fitsInPlace(const Section& old, std::size_t size) const {
    bool lastInMemory = true;
    for (const Section& section : sections_) {
        if (section.virtualAddress <= old.virtualAddress)
            continue;
        lastInMemory = false;
        if (size > section.virtualAddress - old.virtualAddress)
            return false;
    }
    if (alignUp(size, fileAlignment_) <= old.rawSize)
        return true;
    // The last section of both the file and the image may grow.
    return lastInMemory && std::uint64_t{old.rawOffset} + old.rawSize == endOfSectionData() &&
           endOfSectionData() == file_.size();
}

PeImage::Placement PeImage::placeResources(std::size_t size) const {
    require(directoryCount_ > kResourceDirectory, "the data directory has no resource entry");
    if (const Section* old = resourceSection())
        if (fitsInPlace(*old, size))
            return {old->virtualAddress, true};

    require(endOfSectionData() == file_.size(),
            "the file carries data after its last section, where a new section would go");
    const std::size_t entry = sectionTable_ + sections_.size() * kSectionHeaderSize;
    std::uint64_t firstData = headersSize_;
    for (const Section& section : sections_)
        if (section.rawSize != 0)
            firstData = std::min<std::uint64_t>(firstData, section.rawOffset);
    bool room = sections_.size() < kMaxSections && entry + kSectionHeaderSize <= firstData;
    for (std::size_t i = entry; room && i < entry + kSectionHeaderSize; ++i)
        room = file_[i] == 0;
    require(room, "the headers have no room for another section, and the resources no longer "
                  "fit where they were");
    std::uint64_t end = 0;
    for (const Section& section : sections_)
        end = std::max(end, std::uint64_t{section.virtualAddress} + span(section));
    const std::uint64_t rva = alignUp(end, sectionAlignment_);
    require(rva + size <= 0x7FFFFFFFu, "the image would grow past 2 GiB");
    return {static_cast<std::uint32_t>(rva), false};
}

Bytes PeImage::withResourceSection(const Placement& placement, const Bytes& content) const {
    Bytes out = file_;
    const std::uint32_t rawSize =
        static_cast<std::uint32_t>(alignUp(content.size(), fileAlignment_));
    const std::size_t initializedAt = optionalHeader_ + kInitializedDataAt;
    std::uint32_t initialized = ByteView(out, "the file").u32(initializedAt);
    std::vector<Section> sections = sections_;
    const Section* old = resourceSection();
    const std::size_t oldIndex = old ? static_cast<std::size_t>(old - sections_.data()) : 0;

    if (placement.inPlace) {
        Section& section = sections[oldIndex];
        const std::uint32_t newRaw = std::max(section.rawSize, rawSize);
        out.resize(std::max<std::size_t>(out.size(), std::size_t{section.rawOffset} + newRaw));
        std::fill(out.begin() + section.rawOffset, out.begin() + section.rawOffset + newRaw, 0);
        initialized += newRaw - section.rawSize;
        // A smaller tree keeps the section's span: Windows refuses an image
        // whose next section no longer begins where this one's pages end.
        section.virtualSize = std::max(span(section), static_cast<std::uint32_t>(content.size()));
        section.rawSize = newRaw;
        std::copy(content.begin(), content.end(), out.begin() + section.rawOffset);
    } else {
        if (old != nullptr) {
            Section& section = sections[oldIndex];
            std::fill(out.begin() + section.rawOffset,
                      out.begin() + section.rawOffset + section.rawSize, 0);
            std::memcpy(section.name, kUnusedSectionName, 8);
        }
        Section added;
        std::memcpy(added.name, kResourceSectionName, 8);
        added.virtualSize = static_cast<std::uint32_t>(content.size());
        added.virtualAddress = placement.rva;
        added.rawSize = rawSize;
        added.rawOffset = static_cast<std::uint32_t>(alignUp(out.size(), fileAlignment_));
        added.characteristics = old ? old->characteristics : kInitializedReadOnlyData;
        sections.push_back(added);
        initialized += rawSize;
        out.resize(added.rawOffset);
        out.insert(out.end(), content.begin(), content.end());
        out.resize(std::size_t{added.rawOffset} + rawSize);
        putU16(out, peHeader_ + kSectionCountAt, static_cast<std::uint32_t>(sections.size()));
    }

    std::uint64_t imageEnd = 0;
    for (std::size_t i = 0; i < sections.size(); ++i) {
        const Section& section = sections[i];
        const std::size_t entry = sectionTable_ + i * kSectionHeaderSize;
        std::memcpy(&out[entry], section.name, 8);
        putU32(out, entry + 8, section.virtualSize);
        putU32(out, entry + 12, section.virtualAddress);
        putU32(out, entry + 16, section.rawSize);
        putU32(out, entry + 20, section.rawOffset);
        putU32(out, entry + 36, section.characteristics);
        imageEnd = std::max(imageEnd, std::uint64_t{section.virtualAddress} + span(section));
    }
    putU32(out, initializedAt, initialized);
    putU32(out, optionalHeader_ + kImageSizeAt,
           static_cast<std::uint32_t>(alignUp(imageEnd, sectionAlignment_)));
    putU32(out, directories_ + kResourceDirectory * 8, placement.rva);
    putU32(out, directories_ + kResourceDirectory * 8 + 4,
           static_cast<std::uint32_t>(content.size()));
    return out;
}

std::uint32_t computeChecksum(const Bytes& file, std::size_t checksumOffset) {
    auto byteAt = [&](std::size_t i) -> std::uint32_t {
        return i >= checksumOffset && i - checksumOffset < 4 ? 0 : file[i];
    };
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < file.size(); i += 2) {
        sum += byteAt(i) | (i + 1 < file.size() ? byteAt(i + 1) << 8 : 0);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return static_cast<std::uint32_t>((sum & 0xFFFF) + (sum >> 16) + file.size());
}

void updateChecksum(Bytes& file) {
    try {
        const PeImage image(file);
        if (image.checksum() != 0)
            putU32(file, image.checksumOffset(), computeChecksum(file, image.checksumOffset()));
    } catch (const FormatError&) {
        // Not a PE image: nothing carries a checksum.
    }
}

} // namespace pe
