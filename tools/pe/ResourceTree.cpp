#include "ResourceTree.h"

#include <algorithm>
#include <map>
#include <set>

namespace pe {

namespace {

constexpr std::uint32_t kHighBit = 0x80000000u;
constexpr std::size_t kDirectoryHeaderSize = 16;
constexpr std::size_t kEntrySize = 8;
constexpr std::size_t kDataEntrySize = 16;
constexpr int kLevels = 3; // type, name, language

class TreeReader {
public:
    TreeReader(const ByteView& section, std::uint32_t rva) : section_(section), rva_(rva) {}

    void readDirectory(std::uint32_t offset, int level, ResourceNode& node) {
        visit(offset, "directory");
        node.characteristics = section_.u32(offset);
        node.timeDateStamp = section_.u32(offset + 4);
        node.majorVersion = section_.u16(offset + 8);
        node.minorVersion = section_.u16(offset + 10);
        const std::uint32_t named = section_.u16(offset + 12);
        const std::uint32_t count = named + section_.u16(offset + 14);
        section_.at(offset + kDirectoryHeaderSize, std::uint64_t{count} * kEntrySize);
        node.entries.resize(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint64_t entry = offset + kDirectoryHeaderSize + i * kEntrySize;
            ResourceNode& child = node.entries[i];
            const std::uint32_t nameField = section_.u32(entry);
            const std::uint32_t target = section_.u32(entry + 4);
            child.name.isText = (nameField & kHighBit) != 0;
            require(child.name.isText == (i < named),
                    "a resource directory mixes named and numbered entries out of order");
            if (child.name.isText) {
                const std::uint32_t at = nameField & ~kHighBit;
                child.name.text = section_.utf16(at + 2, section_.u16(at));
                // Entries may share a text, so each copy counts.
                hold(std::uint64_t{child.name.text.size()} * 2);
            } else {
                require(nameField <= 0xFFFF, "a resource id is larger than 65535");
                child.name.id = static_cast<std::uint16_t>(nameField);
            }
            const bool isDirectory = (target & kHighBit) != 0;
            require(isDirectory == (level + 1 < kLevels),
                    "the resource directory does not have the three levels of type, name and "
                    "language");
            if (isDirectory)
                readDirectory(target & ~kHighBit, level + 1, child);
            else
                readData(target, child);
        }
    }

private:
    void visit(std::uint32_t offset, const char* what) {
        require(seen_.insert(offset).second,
                std::string("the resource directory reaches one ") + what + " twice");
    }

    void readData(std::uint32_t offset, ResourceNode& node) {
        visit(offset, "data entry");
        node.isData = true;
        const std::uint32_t dataRva = section_.u32(offset);
        const std::uint32_t size = section_.u32(offset + 4);
        node.codePage = section_.u32(offset + 8);
        node.reserved = section_.u32(offset + 12);
        require(dataRva >= rva_ && fits(section_.size(), dataRva - rva_, size),
                "resource data at " + hex(dataRva) + " lies outside the resource section");
        hold(size);
        node.data = section_.copy(dataRva - rva_, size);
    }

    // Adds bytes to what the tree holds, which stays within kMaxResourceBytes.
    void hold(std::uint64_t bytes) {
        total_ += bytes;
        require(total_ <= kMaxResourceBytes, "the resources hold more than 64 MiB");
    }

    const ByteView& section_;
    std::uint32_t rva_;
    std::set<std::uint32_t> seen_;
    std::uint64_t total_ = 0;
};

} // namespace

bool ResourceName::operator<(const ResourceName& other) const {
    if (isText != other.isText)
        return isText;
    return isText ? text < other.text : id < other.id;
}

bool ResourceNode::operator==(const ResourceNode& other) const {
    return name == other.name && characteristics == other.characteristics &&
           timeDateStamp == other.timeDateStamp && majorVersion == other.majorVersion &&
           minorVersion == other.minorVersion && entries == other.entries &&
           isData == other.isData && data == other.data && codePage == other.codePage &&
           reserved == other.reserved;
}

ResourceNode* ResourceNode::find(const ResourceName& entryName) {
    for (ResourceNode& entry : entries)
        if (entry.name == entryName)
            return &entry;
    return nullptr;
}

const ResourceNode* ResourceNode::find(const ResourceName& entryName) const {
    return const_cast<ResourceNode*>(this)->find(entryName);
}

ResourceNode& ResourceNode::findOrAdd(const ResourceName& entryName) {
    if (ResourceNode* found = find(entryName))
        return *found;
    auto place = std::find_if(entries.begin(), entries.end(),
                              [&](const ResourceNode& entry) { return entryName < entry.name; });
    ResourceNode added;
    added.name = entryName;
    return *entries.insert(place, added);
}

void ResourceNode::remove(const ResourceName& entryName) {
    entries.erase(
        std::remove_if(entries.begin(), entries.end(),
                       [&](const ResourceNode& entry) { return entry.name == entryName; }),
        entries.end());
}

ResourceNode readResourceTree(const ByteView& section, std::uint32_t rva) {
    ResourceNode root;
    TreeReader(section, rva).readDirectory(0, 0, root);
    return root;
}

Bytes writeResourceTree(const ResourceNode& root, std::uint32_t rva) {
    // The directories breadth first, as the resource compilers lay them out.
    std::vector<const ResourceNode*> directories{&root};
    std::vector<const ResourceNode*> leaves;
    std::vector<const ResourceName*> names;
    for (std::size_t i = 0; i < directories.size(); ++i)
        for (const ResourceNode& entry : directories[i]->entries) {
            (entry.isData ? leaves : directories).push_back(&entry);
            if (entry.name.isText)
                names.push_back(&entry.name);
        }

    // Offsets of directories and data entries, and of the names, in the section.
    std::map<const ResourceNode*, std::uint32_t> offsets;
    std::map<const ResourceName*, std::uint32_t> nameOffsets;
    std::uint64_t end = 0;
    for (const ResourceNode* directory : directories) {
        offsets[directory] = static_cast<std::uint32_t>(end);
        end += kDirectoryHeaderSize + directory->entries.size() * kEntrySize;
    }
    for (const ResourceName* name : names) {
        nameOffsets[name] = static_cast<std::uint32_t>(end);
        end += 2 + name->text.size() * 2;
    }
    end = alignUp(end, 4);
    for (const ResourceNode* leaf : leaves) {
        offsets[leaf] = static_cast<std::uint32_t>(end);
        end += kDataEntrySize;
    }
    std::vector<std::uint64_t> dataAt;
    for (const ResourceNode* leaf : leaves) {
        end = alignUp(end, 8);
        dataAt.push_back(end);
        end += leaf->data.size();
    }
    require(end <= kMaxResourceBytes, "the resources would hold more than 64 MiB");

    Bytes out;
    out.reserve(static_cast<std::size_t>(end));
    for (const ResourceNode* directory : directories) {
        std::uint32_t named = 0;
        for (const ResourceNode& entry : directory->entries)
            named += entry.name.isText;
        require(directory->entries.size() <= 0xFFFF, "a resource directory has too many entries");
        appendU32(out, directory->characteristics);
        appendU32(out, directory->timeDateStamp);
        appendU16(out, directory->majorVersion);
        appendU16(out, directory->minorVersion);
        appendU16(out, named);
        appendU16(out, static_cast<std::uint32_t>(directory->entries.size()) - named);
        for (const ResourceNode& entry : directory->entries) {
            appendU32(out, entry.name.isText ? kHighBit | nameOffsets[&entry.name] : entry.name.id);
            appendU32(out, entry.isData ? offsets[&entry] : kHighBit | offsets[&entry]);
        }
    }
    for (const ResourceName* name : names) {
        require(name->text.size() <= 0xFFFF, "a resource name is too long");
        appendU16(out, static_cast<std::uint32_t>(name->text.size()));
        appendUtf16(out, name->text);
    }
    padTo(out, 4);
    for (std::size_t i = 0; i < leaves.size(); ++i) {
        appendU32(out, static_cast<std::uint32_t>(rva + dataAt[i]));
        appendU32(out, static_cast<std::uint32_t>(leaves[i]->data.size()));
        appendU32(out, leaves[i]->codePage);
        appendU32(out, leaves[i]->reserved);
    }
    for (const ResourceNode* leaf : leaves) {
        padTo(out, 8);
        out.insert(out.end(), leaf->data.begin(), leaf->data.end());
    }
    return out;
}

} // namespace pe
