#include "ResourceEdit.h"

#include "Manifest.h"

namespace pe {

namespace {

constexpr std::uint16_t kVersionId = 1;
constexpr std::uint16_t kStringType = 6;
// String n is string n % 16 of block n / 16 + 1, each string a count of UTF-16
// units and the units.
constexpr std::uint16_t kCaptionBlock = 1;
constexpr std::size_t kCaptionIndex = 2;
constexpr std::size_t kStringsPerBlock = 16;
constexpr std::uint16_t kProbeClassId = 105;

// The language entries of resource (type, id), made with one US English entry
// of the given data when there are none.
std::vector<ResourceNode*> languagesOf(ResourceNode& root, std::uint16_t type, std::uint16_t id,
                                       const Bytes& fresh) {
    ResourceNode& named =
        root.findOrAdd(ResourceName::number(type)).findOrAdd(ResourceName::number(id));
    if (named.entries.empty()) {
        ResourceNode& language = named.findOrAdd(ResourceName::number(kLanguageEnglishUs));
        language.isData = true;
        language.data = fresh;
    }
    std::vector<ResourceNode*> languages;
    for (ResourceNode& language : named.entries)
        languages.push_back(&language);
    return languages;
}

void editVersionInfo(ResourceNode& root, const ResourceEdits& edits) {
    for (ResourceNode* language :
         languagesOf(root, kVersionType, kVersionId, writeVersionInfo(newVersionInfo()))) {
        VersionBlock info = readVersionInfo(language->data);
        for (const auto& string : edits.strings)
            setVersionString(info, string.first, string.second);
        if (edits.setFileVersion)
            setFixedVersion(info, false, edits.fileVersion);
        if (edits.setProductVersion)
            setFixedVersion(info, true, edits.productVersion);
        language->data = writeVersionInfo(info);
    }
}

void editManifest(ResourceNode& root, const std::string& level) {
    const std::string fresh = newManifest(level);
    for (ResourceNode* language :
         languagesOf(root, kManifestType, kManifestId, Bytes(fresh.begin(), fresh.end()))) {
        const std::string manifest(language->data.begin(), language->data.end());
        const std::string edited = withExecutionLevel(manifest, level);
        language->data.assign(edited.begin(), edited.end());
    }
}

// Where string index of a string table block begins, once its bytes are known
// to lie in the block.
std::size_t stringAt(const ByteView& block, std::size_t index) {
    std::size_t at = 0;
    for (std::size_t i = 0; i < index; ++i)
        at += 2 + 2 * std::size_t{block.u16(at)};
    block.at(at, 2 + 2 * std::size_t{block.u16(at)});
    return at;
}

void editCaption(ResourceNode& root, const std::u16string& caption) {
    for (ResourceNode* language :
         languagesOf(root, kStringType, kCaptionBlock, Bytes(2 * kStringsPerBlock, 0))) {
        const Bytes& block = language->data;
        const ByteView view(block, "the string table");
        const std::size_t at = stringAt(view, kCaptionIndex);
        Bytes edited(block.begin(), block.begin() + at);
        appendU16(edited, static_cast<std::uint32_t>(caption.size()));
        appendUtf16(edited, caption);
        edited.insert(edited.end(), block.begin() + at + 2 + 2 * view.u16(at), block.end());
        language->data = edited;
    }
}

const ResourceNode* firstData(const ResourceNode& root, const ResourceName& type,
                              std::uint16_t id) {
    const ResourceNode* typeNode = root.find(type);
    const ResourceNode* named = typeNode ? typeNode->find(ResourceName::number(id)) : nullptr;
    return named && !named->entries.empty() ? &named->entries.front() : nullptr;
}

} // namespace

ResourceNode readResources(const PeImage& image) {
    const DataDirectory directory = image.directory(kResourceDirectory);
    if (directory.rva == 0 && directory.size == 0)
        return {};
    return readResourceTree(image.sectionBytesFrom(directory.rva, "the resource directory"),
                            directory.rva);
}

Bytes editResources(const Bytes& launcher, const ResourceEdits& edits) {
    const PeImage image(launcher);
    ResourceNode root = readResources(image);
    if (!edits.icon.empty())
        replaceIcon(root, edits.icon);
    if (!edits.strings.empty() || edits.setFileVersion || edits.setProductVersion)
        editVersionInfo(root, edits);
    if (!edits.executionLevel.empty())
        editManifest(root, edits.executionLevel);
    if (!edits.caption.empty())
        editCaption(root, edits.caption);
    const PeImage::Placement placement = image.placeResources(writeResourceTree(root, 0).size());
    return image.withResourceSection(placement, writeResourceTree(root, placement.rva));
}

LauncherIdentity identify(const Bytes& launcher) {
    const PeImage image(launcher);
    const ResourceNode root = readResources(image);
    LauncherIdentity identity;
    if (const ResourceNode* version =
            firstData(root, ResourceName::number(kVersionType), kVersionId)) {
        const VersionBlock info = readVersionInfo(version->data);
        identity.hasVersionInfo = true;
        const std::pair<std::string*, const char16_t*> strings[] = {
            {&identity.productName, u"ProductName"},
            {&identity.description, u"FileDescription"},
            {&identity.company, u"CompanyName"},
            {&identity.copyright, u"LegalCopyright"},
            {&identity.productVersion, u"ProductVersion"},
            {&identity.originalFilename, u"OriginalFilename"}};
        for (const auto& string : strings)
            *string.first = utf8FromUtf16(versionString(info, string.second));
        identity.fileVersion = formatVersionNumber(fixedVersion(info, false));
    }
    if (const ResourceNode* manifest =
            firstData(root, ResourceName::number(kManifestType), kManifestId)) {
        identity.hasManifest = true;
        identity.executionLevel =
            executionLevel(std::string(manifest->data.begin(), manifest->data.end()));
    }
    if (const ResourceNode* strings =
            firstData(root, ResourceName::number(kStringType), kCaptionBlock)) {
        const ByteView block(strings->data, "the string table");
        const std::size_t at = stringAt(block, kCaptionIndex);
        identity.caption = utf8FromUtf16(block.utf16(at + 2, block.u16(at)));
    }
    const ResourceNode* groups = root.find(ResourceName::number(kIconGroupType));
    if (groups != nullptr && !groups->entries.empty() && !groups->entries[0].entries.empty())
        for (const IconGroupEntry& entry : readIconGroup(groups->entries[0].entries[0].data))
            identity.iconImages.push_back(
                std::to_string(entry.image.width ? entry.image.width : 256) + "x" +
                std::to_string(entry.image.height ? entry.image.height : 256) + " " +
                std::to_string(entry.image.bitCount) + "-bit");
    identity.hasProbeClass = firstData(root, ResourceName{true, 0, u"JAVACLASS"}, kProbeClassId);
    return identity;
}

} // namespace pe
