#include "IconFile.h"
#include "Manifest.h"
#include "PeImage.h"
#include "ResourceEdit.h"
#include "ResourceTree.h"
#include "VersionInfo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

using namespace pe;

namespace {

ResourceNode leaf(std::uint16_t language, const std::string& text, std::uint32_t codePage = 0) {
    ResourceNode node;
    node.name = ResourceName::number(language);
    node.isData = true;
    node.data.assign(text.begin(), text.end());
    node.codePage = codePage;
    return node;
}

ResourceName text(const std::u16string& name) {
    return {true, 0, name};
}

// A string table block of sixteen strings, the third of them caption.
std::string stringBlock(const std::u16string& caption) {
    Bytes block = {1, 0, 0xA9, 0x03, 0, 0};
    appendU16(block, static_cast<std::uint32_t>(caption.size()));
    appendUtf16(block, caption);
    block.resize(block.size() + 2 * 13, 0);
    return std::string(block.begin(), block.end());
}

// Resources of the launcher's kinds: a named type, several languages, header
// fields and code pages that are not zero.
ResourceNode sampleTree(const std::u16string& caption = u"Kitebay") {
    ResourceNode root;
    root.timeDateStamp = 0x12345678;
    root.findOrAdd(ResourceName::number(6)).findOrAdd(ResourceName::number(1)).entries = {
        leaf(1033, stringBlock(caption)), leaf(1031, stringBlock(caption) + "pad", 1252)};
    ResourceNode& probe = root.findOrAdd(text(u"JAVACLASS")).findOrAdd(ResourceName::number(105));
    probe.majorVersion = 4;
    probe.entries = {leaf(1033, std::string("\xCA\xFE\xBA\xBE\0\x03", 6))};
    root.findOrAdd(ResourceName::number(5)).findOrAdd(text(u"SETUP")).entries = {leaf(0, "dialog")};
    return root;
}

// A PE32 image of two sections, the resources and then relocations, with the
// checksum field set; the resource section leaves slack bytes behind the tree,
// and spans resourceSpan bytes in memory when that is more than the tree.
Bytes peImage(const ResourceNode& resources, std::uint32_t resourceSpan = 0) {
    Bytes file(0xA00, 0);
    file[0] = 'M';
    file[1] = 'Z';
    putU32(file, 0x3C, 0x40);
    std::copy_n("PE\0\0", 4, file.begin() + 0x40);
    putU16(file, 0x44, 0x14C);
    putU16(file, 0x46, 2);
    putU16(file, 0x54, 224);
    const std::size_t optional = 0x58;
    putU16(file, optional, 0x10B);
    putU32(file, optional + 32, 0x1000);
    putU32(file, optional + 36, 0x200);
    const Bytes tree = writeResourceTree(resources, 0x1000);
    const std::uint32_t span = std::max(resourceSpan, static_cast<std::uint32_t>(tree.size()));
    const std::uint32_t relocations = 0x1000 + static_cast<std::uint32_t>(alignUp(span, 0x1000));
    putU32(file, optional + 56, relocations + 0x1000);
    putU32(file, optional + 60, 0x200);
    putU32(file, optional + 64, 1);
    putU32(file, optional + 92, 16);
    putU32(file, optional + 96 + 8 * kResourceDirectory, 0x1000);
    putU32(file, optional + 96 + 8 * kResourceDirectory + 4,
           static_cast<std::uint32_t>(tree.size()));
    const char* names[] = {".rsrc", ".reloc"};
    for (std::uint32_t i = 0; i < 2; ++i) {
        const std::size_t entry = optional + 224 + 40 * i;
        std::copy_n(names[i], 6, file.begin() + entry);
        putU32(file, entry + 8, i == 0 ? span : 0x10);
        putU32(file, entry + 12, i == 0 ? 0x1000 : relocations);
        putU32(file, entry + 16, i == 0 ? 0x600 : 0x200);
        putU32(file, entry + 20, 0x200 + 0x600 * i);
    }
    std::copy(tree.begin(), tree.end(), file.begin() + 0x200);
    return file;
}

// Expects action to throw a FormatError whose text holds problem.
void expectRefusal(const std::function<void()>& action, const std::string& problem,
                   const char* what = "") {
    std::string refusal = "accepted";
    try {
        action();
    } catch (const FormatError& error) {
        refusal = error.what();
    }
    EXPECT_NE(refusal.find(problem), std::string::npos) << what << ": " << refusal;
}

// A number written over good bytes, and the words of the refusal it must cause.
struct Damage {
    const char* what;
    std::size_t at;
    std::uint32_t value;
    bool wide; // four bytes rather than two
    const char* problem;
};

void expectRefusals(const Bytes& good, std::initializer_list<Damage> cases,
                    const std::function<void(const Bytes&)>& read) {
    for (const Damage& c : cases) {
        Bytes bad = good;
        (c.wide ? putU32 : putU16)(bad, c.at, c.value);
        expectRefusal([&] { read(bad); }, c.problem, c.what);
    }
}

TEST(ResourceTree, RefusesHostileDirectories) {
    const Bytes good = writeResourceTree(sampleTree(), 0x1000);
    // The root's first entry (JAVACLASS) points at its type directory from offset 20.
    expectRefusals(
        good,
        {{"a type directory that is the root again", 20, 0x80000000u, true,
          "reaches one directory twice"},
         {"a type that is data", 20, 0x200, true, "three levels"},
         {"an entry past the section", 20, 0x80000000u | 0xFFF0, true, "ends before byte"},
         {"a named entry counted as numbered", 12, 0, false, "out of order"}},
        [](const Bytes& bad) { readResourceTree(ByteView(bad, "section"), 0x1000); });
    expectRefusal([&] { readResourceTree(ByteView(good, "section"), 0x2000); },
                  "outside the resource section");

    // 1100 types, empty, all named by one text of 32767 characters: 72 MB of names
    // from a section of 100 KB.
    const std::uint32_t types = 1100, length = 0x7FFF;
    const std::uint32_t textAt = 16 + types * (8 + 16);
    Bytes shared(16, 0);
    putU16(shared, 12, types);
    for (std::uint32_t i = 0; i < types; ++i) {
        appendU32(shared, 0x80000000u | textAt);
        appendU32(shared, 0x80000000u | (16 + types * 8 + i * 16));
    }
    shared.resize(textAt, 0);
    appendU16(shared, length);
    shared.resize(shared.size() + 2 * length, 'A');
    expectRefusal([&] { readResourceTree(ByteView(shared, "section"), 0x1000); },
                  "more than 64 MiB");
}

TEST(ResourceEdit, SetsWhatIsAskedKeepsTheRestAndPlacesTheSectionWithoutGaps) {
    const Bytes launcher = peImage(sampleTree());
    ResourceEdits edits;
    edits.strings = {{u"ProductName", u"Kitebay \u03A9"}, {u"ProductVersion", u"2.1"}};
    ASSERT_TRUE(parseVersionNumber("2.1.0.7", edits.fileVersion));
    edits.setFileVersion = true;
    edits.executionLevel = "requireAdministrator";
    edits.caption = u"Acme \u03A9";
    const Bytes edited = editResources(launcher, edits);

    const LauncherIdentity identity = identify(edited);
    EXPECT_EQ(identity.productName, "Kitebay \xCE\xA9");
    EXPECT_EQ(identity.productVersion, "2.1");
    EXPECT_EQ(identity.fileVersion, "2.1.0.7");
    EXPECT_EQ(identity.executionLevel, "requireAdministrator");
    EXPECT_EQ(identity.caption, "Acme \xCE\xA9");
    EXPECT_TRUE(identity.hasProbeClass);
    // The caption in every language, every other string and byte of its block kept.
    ResourceNode resources = readResources(PeImage(edited));
    resources.remove(ResourceName::number(kVersionType));
    resources.remove(ResourceName::number(kManifestType));
    EXPECT_EQ(resources, sampleTree(u"Acme \u03A9"));
    // Small enough to stay where the old resources were.
    EXPECT_EQ(edited.size(), launcher.size());
    EXPECT_EQ(PeImage(edited).sections().size(), 2u);
    EXPECT_EQ(PeImage(edited).directory(kResourceDirectory).rva, 0x1000u);

    ResourceEdits icon;
    IconImage image;
    image.width = image.height = 32;
    image.data.assign(3000, 0xA5);
    putU32(image.data, 0, 40);
    icon.icon = {image};
    const Bytes last = editResources(launcher, icon);
    const PeImage moved(last);
    ASSERT_EQ(moved.sections().size(), 3u);
    EXPECT_EQ(std::string(moved.sections()[0].name), ".unused");
    EXPECT_EQ(std::string(moved.sections()[2].name, 5), ".rsrc");
    EXPECT_EQ(moved.directory(kResourceDirectory).rva, 0x3000u);
    EXPECT_EQ(ByteView(last, "file").u32(0x58 + 56), 0x4000u); // SizeOfImage
    EXPECT_EQ(std::count(last.begin() + 0x200, last.begin() + 0x800, 0),
              0x600); // old section zeroed
    const ResourceNode withIcon = readResources(PeImage(last));
    EXPECT_EQ(withIcon.find(ResourceName::number(kIconType))->entries[0].entries[0].data,
              image.data);
    // The added types go in their sorted place: named entries first, then numbers in
    // ascending order, as Windows searches them.
    std::vector<ResourceName> types;
    for (const ResourceNode& type : withIcon.entries)
        types.push_back(type.name);
    EXPECT_EQ(types, (std::vector<ResourceName>{text(u"JAVACLASS"), ResourceName::number(kIconType),
                                                ResourceName::number(5), ResourceName::number(6),
                                                ResourceName::number(kIconGroupType)}));

    // Windows loads no image whose sections leave a gap in memory, and a tree
    // smaller than the pages its section spans must not open one.
    const Bytes shrunk = editResources(peImage(sampleTree(), 0x1800), edits);
    const std::pair<const char*, const Bytes*> outputs[] = {
        {"in place", &edited}, {"last", &last}, {"in place, a page smaller", &shrunk}};
    for (const auto& output : outputs) {
        const PeImage image(*output.second);
        const std::vector<Section>& sections = image.sections();
        for (std::size_t i = 1; i < sections.size(); ++i) {
            const Section& before = sections[i - 1];
            const std::uint32_t span = before.virtualSize ? before.virtualSize : before.rawSize;
            EXPECT_EQ(sections[i].virtualAddress, before.virtualAddress + alignUp(span, 0x1000))
                << output.first << ": section " << i + 1;
        }
    }

    Bytes crowded = launcher;
    crowded[0x58 + 224 + 80] = 1; // where the new section's entry would go
    Bytes overlay = launcher;
    overlay.push_back(0);
    expectRefusal([&] { editResources(crowded, icon); }, "no room");
    expectRefusal([&] { editResources(overlay, icon); }, "data after its last section");
}

TEST(IconFile, RefusesFilesThatAreTruncatedOrClaimWhatTheyDoNotHold) {
    // One 40-byte bitmap behind a directory of one entry.
    Bytes good{0, 0, 1, 0, 1, 0, 32, 32, 0, 0, 1, 0, 32, 0, 40, 0, 0, 0, 22, 0, 0, 0};
    good.resize(62, 0);
    putU32(good, 22, 40);
    ASSERT_EQ(readIconFile(good).size(), 1u);
    expectRefusals(good,
                   {{"a cursor", 2, 2, false, "no icon file"},
                    {"four images claimed", 4, 4, false,
                     "claims 4 images, but its 62 bytes hold the directory of only 3"},
                    {"an image past the end", 18, 30, true, "reaches past the end of the file"},
                    {"an image over the directory", 18, 10, true, "overlaps the icon directory"},
                    {"no bitmap header", 22, 12, true, "neither a bitmap nor a PNG"}},
                   [](const Bytes& bad) { readIconFile(bad); });
    expectRefusal([&] { readIconFile(Bytes(good.begin(), good.begin() + 5)); }, "truncated");
    // 256 entries naming one bitmap of 300,000 bytes: 77 MB of images.
    Bytes repeated{0, 0, 1, 0, 0, 1};
    for (int i = 0; i < 256; ++i) {
        repeated.resize(repeated.size() + 8, 0);
        appendU32(repeated, 300000);
        appendU32(repeated, 6 + 256 * 16);
    }
    appendU32(repeated, 40);
    repeated.resize(repeated.size() + 300000 - 4, 0);
    expectRefusal([&] { readIconFile(repeated); }, "more than 64 MiB");
}

TEST(IconFile, ReplacesTheFirstGroupAndOnlyTheImagesNoOtherGroupUses) {
    auto group = [](std::initializer_list<std::uint16_t> ids) {
        Bytes data{0, 0, 1, 0, static_cast<unsigned char>(ids.size()), 0};
        for (std::uint16_t id : ids) {
            data.resize(data.size() + 12, 0);
            appendU16(data, id);
        }
        return data;
    };
    ResourceNode root;
    for (std::uint16_t id : {1, 2, 3})
        root.findOrAdd(ResourceName::number(kIconType))
            .findOrAdd(ResourceName::number(id))
            .entries = {leaf(1033, "old")};
    ResourceNode& groups = root.findOrAdd(ResourceName::number(kIconGroupType));
    groups.findOrAdd(ResourceName::number(107)).entries = {leaf(1033, "")};
    groups.entries[0].entries[0].data = group({1, 2});
    groups.findOrAdd(ResourceName::number(200)).entries = {leaf(1033, "")};
    groups.entries[1].entries[0].data = group({2, 3});

    IconImage image;
    image.width = 48;
    image.bitCount = 32;
    image.data = {'n', 'e', 'w'};
    replaceIcon(root, {image, image});
    const ResourceNode& icons = *root.find(ResourceName::number(kIconType));
    std::vector<std::uint16_t> ids;
    for (const ResourceNode& icon : icons.entries)
        ids.push_back(icon.name.id);
    EXPECT_EQ(ids, (std::vector<std::uint16_t>{1, 2, 3, 4}));
    EXPECT_EQ(icons.entries[0].entries[0].data, image.data);
    EXPECT_EQ(icons.entries[1].entries[0].data, Bytes({'o', 'l', 'd'}));
    const ResourceNode& replaced = root.find(ResourceName::number(kIconGroupType))->entries[0];
    EXPECT_EQ(replaced.name.id, 107);
    EXPECT_EQ(replaced.entries[0].name.id, 1033);
    Bytes expected = group({1, 4});
    for (std::size_t at : {6, 20}) {
        expected[at] = 48;
        expected[at + 6] = 32;
        expected[at + 8] = 3;
    }
    EXPECT_EQ(replaced.entries[0].data, expected);
}

TEST(VersionInfo, RoundTripsAndSetsStringsInEveryTable) {
    VersionBlock info = newVersionInfo();
    VersionBlock& tables = *info.child(u"StringFileInfo");
    tables.children.push_back(tables.children[0]);
    tables.children[1].key = u"040704B0";
    setVersionString(info, u"CompanyName", u"Kitebay");
    setVersionString(info, u"CompanyName", u"Kitebay Ltd");
    const Bytes written = writeVersionInfo(info);
    const VersionBlock read = readVersionInfo(written);
    EXPECT_EQ(read, info);
    for (const VersionBlock& table : read.child(u"StringFileInfo")->children) {
        ASSERT_EQ(table.children.size(), 1u);
        EXPECT_EQ(table.children[0].value.size(), 24u); // "Kitebay Ltd" and its NUL
    }
    EXPECT_EQ(versionString(read, u"CompanyName"), u"Kitebay Ltd");

    Bytes overrun = written;
    putU16(overrun, 0, static_cast<std::uint32_t>(written.size() + 4));
    expectRefusal([&] { readVersionInfo(overrun); }, "overruns");
}

TEST(VersionInfo, VersionsAreOneToFourNumbersUpTo65535) {
    struct Case {
        const char* text;
        std::uint32_t ms, ls;
    };
    for (const Case& c : {Case{"2", 0x20000, 0}, Case{"1.2.3.4", 0x10002, 0x30004},
                          Case{"65535.0", 0xFFFF0000, 0}}) {
        VersionNumber number;
        ASSERT_TRUE(parseVersionNumber(c.text, number)) << c.text;
        EXPECT_EQ(std::make_pair(number.ms, number.ls), std::make_pair(c.ms, c.ls)) << c.text;
    }
    VersionNumber unused;
    for (const char* text : {"65536", "1.2b", "1..2", "1.2.3.4.5", "", " 1", "1."})
        EXPECT_FALSE(parseVersionNumber(text, unused)) << text;
}

TEST(Manifest, ChangesTheLevelAloneOrAddsWhatIsMissing) {
    const std::string head =
        "<?xml version=\"1.0\"?>\n<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\">";
    struct Case {
        std::string manifest;
        std::string expected;
    };
    const Case cases[] = {
        {head + "<!-- <requestedExecutionLevel level='x'/> --><v3:requestedExecutionLevel "
                "uiAccess='false' level = 'asInvoker'/></assembly>",
         head + "<!-- <requestedExecutionLevel level='x'/> --><v3:requestedExecutionLevel "
                "uiAccess='false' level = 'requireAdministrator'/></assembly>"},
        {head + "<requestedExecutionLevel uiAccess=\"a>b\"/></assembly>",
         head + "<requestedExecutionLevel level=\"requireAdministrator\" "
                "uiAccess=\"a>b\"/></assembly>"},
        {head + "<dependency/></assembly>\n",
         head + "<dependency/><trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\"><security>"
                "<requestedPrivileges><requestedExecutionLevel level=\"requireAdministrator\" "
                "uiAccess=\"false\"/></requestedPrivileges></security></trustInfo>\n</assembly>\n"},
        {head + "<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\"><security>"
                "<requestedPrivileges></requestedPrivileges></security></trustInfo></assembly>",
         head +
             "<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\"><security><requestedPrivileges>"
             "<requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"/>"
             "</requestedPrivileges></security></trustInfo></assembly>"},
        {head + "<v2:trustInfo xmlns:v2=\"urn:schemas-microsoft-com:asm.v2\"></v2:trustInfo>"
                "<file><v2:security/></file></assembly>",
         head +
             "<v2:trustInfo xmlns:v2=\"urn:schemas-microsoft-com:asm.v2\"><v2:security>"
             "<v2:requestedPrivileges><v2:requestedExecutionLevel level=\"requireAdministrator\" "
             "uiAccess=\"false\"/></v2:requestedPrivileges></v2:security></v2:trustInfo>"
             "<file><v2:security/></file></assembly>"},
    };
    for (const Case& c : cases) {
        const std::string edited = withExecutionLevel(c.manifest, "requireAdministrator");
        EXPECT_EQ(edited, c.expected);
        EXPECT_EQ(executionLevel(edited), "requireAdministrator");
    }
    expectRefusal([] { withExecutionLevel("not a manifest", "asInvoker"); },
                  "no UTF-8 XML manifest");
}

} // namespace
