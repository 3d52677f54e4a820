//===- ResourceEdit.h - Rewrites the resources of a launcher --------------===//
//
// What radad-pack changes in the copy of a launcher before it appends the
// payload: the icon, the strings and numbers of the version information, the
// caption of the launcher's windows (string 2 of its string table, which radad
// loads at its start) and the
// execution level of the manifest. Every other resource is kept byte for
// byte; the new resource section goes where the old one was or, when it no
// longer fits there, last.
//
//===----------------------------------------------------------------------===//
#pragma once

#include "Bytes.h"
#include "IconFile.h"
#include "PeImage.h"
#include "ResourceTree.h"
#include "VersionInfo.h"

#include <string>
#include <utility>
#include <vector>

namespace pe {

struct ResourceEdits {
    std::vector<IconImage> icon; // empty: the icon stays
    // Version strings by key ("ProductName", "FileVersion"...), in UTF-16.
    std::vector<std::pair<std::u16string, std::u16string>> strings;
    bool setFileVersion = false;
    VersionNumber fileVersion;
    bool setProductVersion = false;
    VersionNumber productVersion;
    std::string executionLevel; // empty: the manifest stays
    std::u16string caption;     // empty: the caption stays

    bool empty() const {
        return icon.empty() && strings.empty() && !setFileVersion && !setProductVersion &&
               executionLevel.empty() && caption.empty();
    }
};

// The resource tree of an image; empty when it has none. Throws a FormatError
// when the tree cannot be read.
ResourceNode readResources(const PeImage& image);

// The launcher's file with its resources edited. Throws a FormatError that
// names the problem when the file is no PE image or its resources cannot be
// rewritten. The checksum is left for the caller, who appends the payload first.
Bytes editResources(const Bytes& launcher, const ResourceEdits& edits);

// What a launcher says about itself, in UTF-8; empty texts where it says nothing.
struct LauncherIdentity {
    bool hasVersionInfo = false;
    std::string productName;
    std::string description;
    std::string company;
    std::string copyright;
    std::string productVersion;
    std::string fileVersion; // the fixed information's, four numbers
    std::string originalFilename;
    bool hasManifest = false;
    std::string executionLevel;
    std::string caption;
    // The images of the first icon group, "WIDTHxHEIGHT BITS-bit" each.
    std::vector<std::string> iconImages;
    bool hasProbeClass = false; // JAVACLASS 105, which every radad launcher carries
};

// Throws a FormatError when the file is no PE image or its resources cannot be read.
LauncherIdentity identify(const Bytes& launcher);

} // namespace pe
