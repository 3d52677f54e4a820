// The icon file reader over arbitrary bytes: an accepted file has a directory
// of 1 to 256 entries inside it and each image is the bytes its entry names,
// behind the directory, a bitmap or a PNG; as resources, the group lists every
// image once, under an id of its own, with its size.
#include "FuzzCheck.h"
#include "IconFile.h"

#include <set>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const pe::Bytes file(data, data + size);
    std::vector<pe::IconImage> images;
    try {
        images = pe::readIconFile(file);
    } catch (const pe::FormatError&) {
        return 0;
    }
    const std::size_t count = data[4] | data[5] << 8;
    FUZZ_CHECK(count == images.size() && count >= 1 && count <= pe::kMaxIconImages);
    const std::size_t directoryEnd = 6 + 16 * count;
    FUZZ_CHECK(data[0] == 0 && data[1] == 0 && data[2] == 1 && data[3] == 0 &&
               directoryEnd <= size);
    const pe::ByteView view(file, "icon");
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = 6 + 16 * i;
        const std::uint64_t length = view.u32(entry + 8), offset = view.u32(entry + 12);
        FUZZ_CHECK(offset >= directoryEnd && offset + length <= size &&
                   length == images[i].data.size());
        FUZZ_CHECK(std::memcmp(data + offset, images[i].data.data(), length) == 0);
        FUZZ_CHECK(images[i].width == data[entry] && images[i].bitCount == view.u16(entry + 6));
        FUZZ_CHECK(std::memcmp(images[i].data.data(), "\x89PNG", 4) == 0 ||
                   pe::ByteView(images[i].data, "image").u32(0) == 40);
    }

    pe::ResourceNode root;
    pe::replaceIcon(root, images);
    const pe::ResourceNode& group =
        root.find(pe::ResourceName::number(pe::kIconGroupType))->entries[0];
    const pe::ResourceNode& icons = *root.find(pe::ResourceName::number(pe::kIconType));
    const pe::Bytes& groupData = group.entries[0].data;
    FUZZ_CHECK(groupData.size() == 6 + 14 * count && icons.entries.size() == count);
    std::set<std::uint16_t> ids;
    const pe::ByteView groupView(groupData, "group");
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint16_t id = groupView.u16(6 + 14 * i + 12);
        FUZZ_CHECK(ids.insert(id).second);
        FUZZ_CHECK(groupView.u32(6 + 14 * i + 8) == images[i].data.size());
        FUZZ_CHECK(icons.find(pe::ResourceName::number(id))->entries[0].data == images[i].data);
    }
    return 0;
}
