#include "IconFile.h"

#include <cstring>
#include <set>

namespace pe {

namespace {

constexpr std::size_t kHeaderSize = 6;
constexpr std::size_t kFileEntrySize = 16;
constexpr std::size_t kGroupEntrySize = 14;
const unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::uint32_t kBitmapInfoHeaderSize = 40;

bool isImage(const Bytes& data) {
    if (data.size() >= 8 && std::memcmp(data.data(), kPngSignature, 8) == 0)
        return true;
    return data.size() >= kBitmapInfoHeaderSize &&
           ByteView(data, "an image").u32(0) == kBitmapInfoHeaderSize;
}

// The resource ids of the images that a group lists, in any of its languages.
void addImageIds(const ResourceNode& group, std::set<std::uint16_t>& ids) {
    for (const ResourceNode& language : group.entries)
        for (const IconGroupEntry& entry : readIconGroup(language.data))
            ids.insert(entry.id);
}

} // namespace

std::vector<IconImage> readIconFile(const Bytes& file) {
    require(file.size() >= kHeaderSize, "the icon file is truncated: it ends within its header");
    ByteView view(file, "the icon file");
    require(view.u16(0) == 0 && view.u16(2) == 1, "the file is no icon file (.ico)");
    const std::size_t count = view.u16(4);
    require(count > 0, "the icon file holds no image");
    require(count <= kMaxIconImages,
            "the icon file has more than " + std::to_string(kMaxIconImages) + " images");
    const std::size_t directoryEnd = kHeaderSize + count * kFileEntrySize;
    require(directoryEnd <= file.size(),
            "the icon file claims " + std::to_string(count) + " images, but its " +
                std::to_string(file.size()) + " bytes hold the directory of only " +
                std::to_string((file.size() - kHeaderSize) / kFileEntrySize));
    std::vector<IconImage> images(count);
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = kHeaderSize + i * kFileEntrySize;
        const std::string which = "image " + std::to_string(i + 1) + " of the icon file";
        IconImage& image = images[i];
        image.width = file[entry];
        image.height = file[entry + 1];
        image.colorCount = file[entry + 2];
        image.reserved = file[entry + 3];
        image.planes = view.u16(entry + 4);
        image.bitCount = view.u16(entry + 6);
        const std::uint32_t size = view.u32(entry + 8);
        const std::uint32_t offset = view.u32(entry + 12);
        require(size > 0, which + " is empty");
        require(fits(file.size(), offset, size), which + " (" + std::to_string(size) +
                                                     " bytes at offset " + std::to_string(offset) +
                                                     ") reaches past the end of the file (" +
                                                     std::to_string(file.size()) + " bytes)");
        require(offset >= directoryEnd, which + " overlaps the icon directory");
        // Entries may name the same bytes, and every image is copied.
        total += size;
        require(total <= kMaxResourceBytes, "the images of the icon file hold more than 64 MiB");
        image.data = view.copy(offset, size);
        require(isImage(image.data), which + " is neither a bitmap nor a PNG image");
    }
    return images;
}

std::vector<IconGroupEntry> readIconGroup(const Bytes& group) {
    const ByteView view(group, "an icon group");
    const std::size_t count = group.size() < kHeaderSize ? 0 : view.u16(4);
    std::vector<IconGroupEntry> entries;
    for (std::size_t i = 0;
         i < count && fits(view.size(), kHeaderSize + i * kGroupEntrySize, kGroupEntrySize); ++i) {
        const std::size_t at = kHeaderSize + i * kGroupEntrySize;
        IconGroupEntry entry;
        entry.image.width = group[at];
        entry.image.height = group[at + 1];
        entry.image.bitCount = view.u16(at + 6);
        entry.id = view.u16(at + 12);
        entries.push_back(entry);
    }
    return entries;
}

void replaceIcon(ResourceNode& root, const std::vector<IconImage>& images) {
    ResourceNode* groups = root.find(ResourceName::number(kIconGroupType));
    const bool hasGroup = groups != nullptr && !groups->entries.empty();
    const ResourceName groupName = hasGroup ? groups->entries[0].name : ResourceName::number(1);
    std::vector<std::uint16_t> languages;
    if (hasGroup)
        for (const ResourceNode& language : groups->entries[0].entries)
            languages.push_back(language.name.id);
    if (languages.empty())
        languages.push_back(kLanguageEnglishUs);

    // The images only this group uses go; those another group shares stay.
    std::set<std::uint16_t> kept, replaced;
    for (std::size_t g = 0; hasGroup && g < groups->entries.size(); ++g)
        addImageIds(groups->entries[g], g == 0 ? replaced : kept);
    ResourceNode& icons = root.findOrAdd(ResourceName::number(kIconType)); // moves groups
    for (std::uint16_t id : replaced)
        if (kept.count(id) == 0)
            icons.remove(ResourceName::number(id));

    Bytes group;
    appendU16(group, 0);
    appendU16(group, 1);
    appendU16(group, static_cast<std::uint32_t>(images.size()));
    std::uint32_t id = 0;
    for (const IconImage& image : images) {
        do
            require(++id <= 0xFFFF, "no resource id is left for another icon image");
        while (icons.find(ResourceName::number(static_cast<std::uint16_t>(id))) != nullptr);
        ResourceNode& icon = icons.findOrAdd(ResourceName::number(static_cast<std::uint16_t>(id)));
        for (std::uint16_t language : languages) {
            ResourceNode& data = icon.findOrAdd(ResourceName::number(language));
            data.isData = true;
            data.data = image.data;
        }
        group.push_back(image.width);
        group.push_back(image.height);
        group.push_back(image.colorCount);
        group.push_back(image.reserved);
        appendU16(group, image.planes);
        appendU16(group, image.bitCount);
        appendU32(group, static_cast<std::uint32_t>(image.data.size()));
        appendU16(group, id);
    }
    ResourceNode& groupEntry =
        root.findOrAdd(ResourceName::number(kIconGroupType)).findOrAdd(groupName);
    for (std::uint16_t language : languages) {
        ResourceNode& data = groupEntry.findOrAdd(ResourceName::number(language));
        data.isData = true;
        data.data = group;
    }
}

} // namespace pe
