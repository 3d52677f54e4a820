//===- VersionInfo.h - The version information resource (RT_VERSION) ------===//
//
// VS_VERSIONINFO is a tree of blocks, each its length, its value's length, its
// type (1 for text, 0 for binary), a UTF-16 key and the value, then its
// children, every block at a multiple of four bytes. The root's value is the
// fixed information (VS_FIXEDFILEINFO: the numeric file and product versions
// among other fields); its children are StringFileInfo, holding one table of
// strings per language and code page, and VarFileInfo with the translations.
//
//===----------------------------------------------------------------------===//
#pragma once

#include "Bytes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pe {

struct VersionBlock {
    std::u16string key;
    std::uint16_t type = 0; // 1: the value is text, counted in UTF-16 units
    Bytes value;
    std::vector<VersionBlock> children;

    bool operator==(const VersionBlock& other) const {
        return key == other.key && type == other.type && value == other.value &&
               children == other.children;
    }
    VersionBlock* child(const std::u16string& childKey);
    const VersionBlock* child(const std::u16string& childKey) const;
};

// The version as the fixed information holds it: the first two numbers in the
// high and low halves of ms, the last two in ls.
struct VersionNumber {
    std::uint32_t ms = 0;
    std::uint32_t ls = 0;
};

// "1", "1.2", "1.2.3" or "1.2.3.4", each number from 0 to 65535 (missing ones
// are 0). False for anything else: letters, blanks, empty or extra parts.
bool parseVersionNumber(const std::string& text, VersionNumber& number);
std::string formatVersionNumber(const VersionNumber& number);

// Throws a FormatError when a block overruns its parent or the nesting goes
// deeper than version information does.
VersionBlock readVersionInfo(const Bytes& data);
Bytes writeVersionInfo(const VersionBlock& root);

// Version information with the fixed information of an application and an
// empty string table for US English and Unicode, with its translation.
VersionBlock newVersionInfo();

// Sets a string in every string table, adding it where it is missing (and a
// table for US English where there is none).
void setVersionString(VersionBlock& root, const std::u16string& key, const std::u16string& value);
// The string of the first table that has it; empty when none has.
std::u16string versionString(const VersionBlock& root, const std::u16string& key);

// The file or product version of the fixed information; throws when the root
// holds no fixed information.
void setFixedVersion(VersionBlock& root, bool product, const VersionNumber& number);
VersionNumber fixedVersion(const VersionBlock& root, bool product);

} // namespace pe
