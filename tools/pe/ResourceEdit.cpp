#include "ResourceEdit.h"

#include "Manifest.h"

namespace pe {

namespace {

constexpr std::uint16_t kVersionId = 1;

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

const ResourceNode* firstData(const ResourceNode& root, std::uint16_t type, std::uint16_t id) {
    const ResourceNode* typeNode = root.find(ResourceName::number(type));
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
    const PeImage::Placement placement = image.placeResources(writeResourceTree(root, 0).size());
    return image.withResourceSection(placement, writeResourceTree(root, placement.rva));
}

LauncherIdentity identify(const Bytes& launcher) {
    const PeImage image(launcher);
    const ResourceNode root = readResources(image);
    LauncherIdentity identity;
    if (const ResourceNode* version = firstData(root, kVersionType, kVersionId)) {
        const VersionBlock info = readVersionInfo(version->data);
        identity.hasVersionInfo = true;
        identity.productName = utf8FromUtf16(versionString(info, u"ProductName"));
        identity.productVersion = utf8FromUtf16(versionString(info, u"ProductVersion"));
        identity.fileVersion = formatVersionNumber(fixedVersion(info, false));
    }
    if (const ResourceNode* manifest = firstData(root, kManifestType, kManifestId)) {
        identity.hasManifest = true;
        identity.executionLevel =
            executionLevel(std::string(manifest->data.begin(), manifest->data.end()));
    }
    return identity;
}

} // namespace pe
