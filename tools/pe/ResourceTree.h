//===- ResourceTree.h - The resource directory of a PE image as a tree -----===//
//
// Resources sit in a directory of three levels: type, then name, then language,
// whose language entries point at the data. Each entry is named by a number or
// by a UTF-16 text; within a directory the named entries come first, sorted,
// then the numbered ones in ascending order, since Windows searches them by
// halving. The tree here holds all of it (directory header fields, entries in
// stored order, data with its code page) so that reading what was written gives
// the same tree back.
//
// Reading is bounded like the payload reader: every offset is checked against
// the section before it is followed, a directory or data entry may be reached
// only once (so a hostile file cannot make a loop or a tree that multiplies),
// and the data and names altogether stay under kMaxResourceBytes.
//
//===----------------------------------------------------------------------===//
#pragma once

#include "Bytes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pe {

constexpr std::uint16_t kIconType = 3;
constexpr std::uint16_t kIconGroupType = 14;
constexpr std::uint16_t kVersionType = 16;
constexpr std::uint16_t kManifestType = 24;
// The language of the resources that an edit adds where there were none.
constexpr std::uint16_t kLanguageEnglishUs = 1033;
constexpr std::uint64_t kMaxResourceBytes = 64u << 20;

struct ResourceName {
    bool isText = false;
    std::uint16_t id = 0;
    std::u16string text;

    static ResourceName number(std::uint16_t id) { return {false, id, {}}; }
    bool operator==(const ResourceName& other) const {
        return isText == other.isText && id == other.id && text == other.text;
    }
    // The order of a directory's entries: texts first, then numbers.
    bool operator<(const ResourceName& other) const;
};

struct ResourceNode {
    ResourceName name; // unused for the root
    // A directory: its header fields and entries.
    std::uint32_t characteristics = 0;
    std::uint32_t timeDateStamp = 0;
    std::uint16_t majorVersion = 0;
    std::uint16_t minorVersion = 0;
    std::vector<ResourceNode> entries;
    // A language entry: the data.
    bool isData = false;
    Bytes data;
    std::uint32_t codePage = 0;
    std::uint32_t reserved = 0;

    bool operator==(const ResourceNode& other) const;

    // The entry of that name, or null.
    ResourceNode* find(const ResourceName& entryName);
    const ResourceNode* find(const ResourceName& entryName) const;
    // The entry of that name, added in its sorted place when missing.
    ResourceNode& findOrAdd(const ResourceName& entryName);
    void remove(const ResourceName& entryName);
};

// The tree of the resource directory that begins at offset 0 of section, a
// section loaded at rva. Data entries must point inside the same section.
ResourceNode readResourceTree(const ByteView& section, std::uint32_t rva);

// The bytes of a resource section holding root, for loading at rva: the
// directories, the names, the data entries, then the data (each at a multiple of 8).
Bytes writeResourceTree(const ResourceNode& root, std::uint32_t rva);

} // namespace pe
