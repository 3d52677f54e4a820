// The resource code over arbitrary bytes, read two ways. As a resource section:
// a tree that is read writes back to bytes that read as the same tree, and its
// version information and manifests survive the same round trip and edit. As a
// whole PE file: a launcher whose resources can be rewritten comes out a PE
// image whose resources say what was set (the caption among them) and hold
// every other resource as it was.
#include "FuzzCheck.h"
#include "Manifest.h"
#include "PeImage.h"
#include "ResourceEdit.h"
#include "ResourceTree.h"
#include "VersionInfo.h"

namespace {

constexpr std::uint32_t kRva = 0x1000;

void checkLeaves(const pe::ResourceNode& root) {
    for (const pe::ResourceNode& type : root.entries)
        for (const pe::ResourceNode& name : type.entries)
            for (const pe::ResourceNode& language : name.entries) {
                FUZZ_CHECK(language.isData && language.entries.empty());
                if (type.name == pe::ResourceName::number(pe::kVersionType)) {
                    try {
                        const pe::VersionBlock info = pe::readVersionInfo(language.data);
                        FUZZ_CHECK(pe::readVersionInfo(pe::writeVersionInfo(info)) == info);
                    } catch (const pe::FormatError&) {
                    }
                }
                if (type.name == pe::ResourceName::number(pe::kManifestType)) {
                    const std::string manifest(language.data.begin(), language.data.end());
                    try {
                        const std::string edited =
                            pe::withExecutionLevel(manifest, "highestAvailable");
                        FUZZ_CHECK(pe::executionLevel(edited) == "highestAvailable");
                    } catch (const pe::FormatError&) {
                    }
                }
            }
}

void checkSection(const unsigned char* data, std::size_t size) {
    pe::ResourceNode tree;
    try {
        tree = pe::readResourceTree(pe::ByteView(data, size, "section"), kRva);
    } catch (const pe::FormatError&) {
        return;
    }
    checkLeaves(tree);
    const pe::Bytes written = pe::writeResourceTree(tree, kRva);
    const pe::ResourceNode again = pe::readResourceTree(pe::ByteView(written, "written"), kRva);
    FUZZ_CHECK(again == tree);
    FUZZ_CHECK(pe::writeResourceTree(again, kRva) == written);
}

pe::ResourceNode withoutEdited(pe::ResourceNode root) {
    // 6: the string table, which holds the caption.
    for (std::uint16_t type :
         {pe::kIconType, pe::kIconGroupType, pe::kVersionType, pe::kManifestType, std::uint16_t{6}})
        root.remove(pe::ResourceName::number(type));
    return root;
}

void checkLauncher(const unsigned char* data, std::size_t size) {
    const pe::Bytes file(data, data + size);
    pe::ResourceEdits edits;
    pe::IconImage image;
    image.width = 16;
    image.data.assign(44, 0);
    image.data[0] = 40;
    edits.icon = {image};
    edits.strings = {{u"ProductName", u"Fuzz"}};
    pe::parseVersionNumber("1.2.3.4", edits.fileVersion);
    edits.setFileVersion = true;
    edits.executionLevel = "requireAdministrator";
    edits.caption = u"Fuzz \u03A9";
    pe::Bytes edited;
    pe::ResourceNode before;
    try {
        before = pe::readResources(pe::PeImage(file));
        edited = pe::editResources(file, edits);
    } catch (const pe::FormatError&) {
        return;
    }
    pe::updateChecksum(edited);
    const pe::LauncherIdentity identity = pe::identify(edited);
    FUZZ_CHECK(identity.productName == "Fuzz" && identity.fileVersion == "1.2.3.4");
    FUZZ_CHECK(identity.executionLevel == "requireAdministrator");
    FUZZ_CHECK(identity.caption == "Fuzz \xCE\xA9");
    FUZZ_CHECK(withoutEdited(pe::readResources(pe::PeImage(edited))) == withoutEdited(before));
    const pe::PeImage image2(edited);
    FUZZ_CHECK(image2.checksum() == 0 ||
               image2.checksum() == pe::computeChecksum(edited, image2.checksumOffset()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    checkSection(data, size);
    if (size >= 2 && data[0] == 'M' && data[1] == 'Z')
        checkLauncher(data, size);
    return 0;
}
