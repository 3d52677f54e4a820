#include "VersionInfo.h"

#include <algorithm>

namespace pe {

namespace {

constexpr std::size_t kBlockHeaderSize = 6;
constexpr std::size_t kFixedInfoSize = 52;
constexpr std::uint32_t kFixedInfoSignature = 0xFEEF04BD;
// VS_VERSIONINFO, StringFileInfo, a table, a string: nothing nests deeper.
constexpr int kMaxDepth = 4;
constexpr std::size_t kFileVersionAt = 8;
constexpr std::size_t kProductVersionAt = 16;

const std::u16string kStringFileInfo = u"StringFileInfo";

std::uint64_t readBlock(const ByteView& view, std::uint64_t offset, std::uint64_t end, int depth,
                        VersionBlock& block) {
    require(depth < kMaxDepth, "the version information nests deeper than it can");
    const std::uint32_t length = view.u16(offset);
    const std::uint32_t valueLength = view.u16(offset + 2);
    block.type = view.u16(offset + 4);
    require(length >= kBlockHeaderSize && offset + length <= end,
            "a block of the version information overruns its parent");
    const std::uint64_t blockEnd = offset + length;
    std::uint64_t position = offset + kBlockHeaderSize;
    for (;;) {
        require(position + 2 <= blockEnd, "a key of the version information has no end");
        const char16_t c = view.u16(position);
        position += 2;
        if (c == 0)
            break;
        block.key += c;
    }
    // A block that ends right after its key has no padding before its (empty) value.
    position = std::min(alignUp(position, 4), blockEnd);
    std::uint64_t valueSize = block.type == 1 ? std::uint64_t{valueLength} * 2 : valueLength;
    // Some compilers count a text's bytes rather than its characters.
    if (block.type == 1 && position + valueSize > blockEnd)
        valueSize = (blockEnd - position) & ~std::uint64_t{1};
    require(position + valueSize <= blockEnd,
            "a value of the version information overruns its block");
    block.value = view.copy(position, valueSize);
    position = alignUp(position + valueSize, 4);
    while (position < blockEnd) {
        block.children.emplace_back();
        position =
            alignUp(readBlock(view, position, blockEnd, depth + 1, block.children.back()), 4);
    }
    return blockEnd;
}

void writeBlock(Bytes& out, const VersionBlock& block) {
    padTo(out, 4);
    const std::size_t start = out.size();
    appendU16(out, 0);
    appendU16(out, static_cast<std::uint32_t>(block.type == 1 ? block.value.size() / 2
                                                              : block.value.size()));
    appendU16(out, block.type);
    appendUtf16(out, block.key);
    appendU16(out, 0);
    padTo(out, 4);
    out.insert(out.end(), block.value.begin(), block.value.end());
    for (const VersionBlock& child : block.children)
        writeBlock(out, child);
    require(out.size() - start <= 0xFFFF, "the version information would exceed 64 KiB");
    putU16(out, start, static_cast<std::uint32_t>(out.size() - start));
}

Bytes textValue(const std::u16string& text) {
    Bytes value;
    appendUtf16(value, text);
    appendU16(value, 0);
    return value;
}

VersionBlock block(const std::u16string& key, std::uint16_t type, Bytes value = {}) {
    VersionBlock b;
    b.key = key;
    b.type = type;
    b.value = std::move(value);
    return b;
}

// The offset of the file or product version in the root's fixed information.
std::size_t fixedVersionAt(const VersionBlock& root, bool product) {
    require(root.value.size() >= kFixedInfoSize &&
                ByteView(root.value, "the fixed information").u32(0) == kFixedInfoSignature,
            "the version information holds no fixed file information");
    return product ? kProductVersionAt : kFileVersionAt;
}

} // namespace

VersionBlock* VersionBlock::child(const std::u16string& childKey) {
    for (VersionBlock& c : children)
        if (c.key == childKey)
            return &c;
    return nullptr;
}

const VersionBlock* VersionBlock::child(const std::u16string& childKey) const {
    return const_cast<VersionBlock*>(this)->child(childKey);
}

bool parseVersionNumber(const std::string& text, VersionNumber& number) {
    std::uint32_t parts[4] = {0, 0, 0, 0};
    std::size_t part = 0;
    std::size_t digits = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '.') {
            if (digits == 0 || (i < text.size() && ++part == 4))
                return false;
            digits = 0;
        } else if (text[i] >= '0' && text[i] <= '9' && digits < 5) {
            parts[part] = parts[part] * 10 + static_cast<std::uint32_t>(text[i] - '0');
            ++digits;
            if (parts[part] > 0xFFFF)
                return false;
        } else {
            return false;
        }
    }
    number.ms = parts[0] << 16 | parts[1];
    number.ls = parts[2] << 16 | parts[3];
    return true;
}

std::string formatVersionNumber(const VersionNumber& number) {
    return std::to_string(number.ms >> 16) + "." + std::to_string(number.ms & 0xFFFF) + "." +
           std::to_string(number.ls >> 16) + "." + std::to_string(number.ls & 0xFFFF);
}

VersionBlock readVersionInfo(const Bytes& data) {
    ByteView view(data, "the version information");
    VersionBlock root;
    readBlock(view, 0, data.size(), 0, root);
    return root;
}

Bytes writeVersionInfo(const VersionBlock& root) {
    Bytes out;
    writeBlock(out, root);
    return out;
}

VersionBlock newVersionInfo() {
    Bytes fixed(kFixedInfoSize, 0);
    putU32(fixed, 0, kFixedInfoSignature);
    putU32(fixed, 4, 0x00010000);  // the structure's version
    putU32(fixed, 24, 0x3F);       // the flags that are defined
    putU32(fixed, 32, 0x00040004); // VOS_NT_WINDOWS32
    putU32(fixed, 36, 1);          // VFT_APP
    VersionBlock root = block(u"VS_VERSION_INFO", 0, fixed);
    VersionBlock strings = block(kStringFileInfo, 1);
    strings.children.push_back(block(u"040904B0", 1));
    root.children.push_back(strings);
    Bytes translation;
    appendU16(translation, 0x0409);
    appendU16(translation, 1200);
    VersionBlock variables = block(u"VarFileInfo", 1);
    variables.children.push_back(block(u"Translation", 0, translation));
    root.children.push_back(variables);
    return root;
}

void setVersionString(VersionBlock& root, const std::u16string& key, const std::u16string& value) {
    VersionBlock* strings = root.child(kStringFileInfo);
    if (strings == nullptr) {
        root.children.insert(root.children.begin(), block(kStringFileInfo, 1));
        strings = &root.children.front();
    }
    if (strings->children.empty())
        strings->children.push_back(block(u"040904B0", 1));
    for (VersionBlock& table : strings->children) {
        VersionBlock* string = table.child(key);
        if (string == nullptr) {
            table.children.push_back(block(key, 1));
            string = &table.children.back();
        }
        string->type = 1;
        string->value = textValue(value);
    }
}

std::u16string versionString(const VersionBlock& root, const std::u16string& key) {
    const VersionBlock* strings = root.child(kStringFileInfo);
    if (strings == nullptr)
        return {};
    for (const VersionBlock& table : strings->children)
        if (const VersionBlock* string = table.child(key)) {
            const std::u16string text =
                ByteView(string->value, "a version string").utf16(0, string->value.size() / 2);
            return text.substr(0, text.find(u'\0'));
        }
    return {};
}

void setFixedVersion(VersionBlock& root, bool product, const VersionNumber& number) {
    const std::size_t at = fixedVersionAt(root, product);
    putU32(root.value, at, number.ms);
    putU32(root.value, at + 4, number.ls);
}

VersionNumber fixedVersion(const VersionBlock& root, bool product) {
    const std::size_t at = fixedVersionAt(root, product);
    ByteView view(root.value, "the fixed information");
    return {view.u32(at), view.u32(at + 4)};
}

} // namespace pe
