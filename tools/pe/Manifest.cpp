#include "Manifest.h"

#include "Bytes.h"

#include <cstring>

namespace pe {

namespace {

const char kElement[] = "requestedExecutionLevel";
const char kWhitespace[] = " \t\r\n";

// The elements that hold requestedExecutionLevel, outermost first.
const char* const kHolders[] = {"trustInfo", "security", "requestedPrivileges"};
constexpr std::size_t kHolderCount = 3;

// The holders from the first missing one down, and the element in them, all
// in the namespace prefix of the holder they go into.
std::string missingHolders(std::size_t firstMissing, const std::string& prefix,
                           const std::string& level) {
    std::string text = "<" + prefix + kElement + " level=\"" + level + "\" uiAccess=\"false\"/>";
    for (std::size_t i = kHolderCount; i-- > firstMissing;)
        text = "<" + prefix + kHolders[i] +
               (i == 0 ? " xmlns=\"urn:schemas-microsoft-com:asm.v3\">" : ">") + text + "</" +
               prefix + kHolders[i] + ">";
    return text;
}

std::string trustInfo(const std::string& level) {
    return missingHolders(0, "", level) + "\n";
}

struct Tag {
    std::size_t start = 0; // the '<'
    std::size_t nameEnd = 0;
    std::size_t end = 0; // the '>'
    bool closing = false;
};

bool isSpace(char c) {
    return c != '\0' && std::strchr(kWhitespace, c) != nullptr;
}

// The next start or end tag at or after from whose name, namespace prefix
// aside, is localName; comments, CDATA sections, declarations and processing
// instructions are skipped.
bool findTag(const std::string& text, const std::string& localName, std::size_t from, Tag& tag) {
    for (std::size_t i = text.find('<', from); i != std::string::npos; i = text.find('<', i)) {
        const char* closer = text.compare(i, 4, "<!--") == 0        ? "-->"
                             : text.compare(i, 9, "<![CDATA[") == 0 ? "]]>"
                             : text.compare(i, 2, "<?") == 0        ? "?>"
                             : text.compare(i, 2, "<!") == 0        ? ">"
                                                                    : nullptr;
        if (closer != nullptr) {
            const std::size_t after = text.find(closer, i + 2);
            if (after == std::string::npos)
                return false;
            i = after + std::strlen(closer);
            continue;
        }
        tag.start = i;
        tag.closing = text.compare(i + 1, 1, "/") == 0;
        const std::size_t nameStart = i + 1 + tag.closing;
        tag.nameEnd = text.find_first_of(" \t\r\n/>", nameStart);
        if (tag.nameEnd == std::string::npos)
            return false;
        // The tag ends at the first '>' outside a quoted attribute value.
        char quote = 0;
        tag.end = tag.nameEnd;
        for (; tag.end < text.size() && (quote != 0 || text[tag.end] != '>'); ++tag.end)
            if (quote == 0 && (text[tag.end] == '"' || text[tag.end] == '\''))
                quote = text[tag.end];
            else if (text[tag.end] == quote)
                quote = 0;
        if (tag.end == text.size())
            return false;
        const std::string name = text.substr(nameStart, tag.nameEnd - nameStart);
        const std::size_t colon = name.rfind(':');
        if ((colon == std::string::npos ? name : name.substr(colon + 1)) == localName)
            return true;
        i = tag.end + 1;
    }
    return false;
}

// Where the value of the tag's attribute of that name lies, between its quotes.
bool findAttribute(const std::string& text, const Tag& tag, const std::string& name,
                   std::size_t& valueStart, std::size_t& valueEnd) {
    std::size_t p = tag.nameEnd;
    for (;;) {
        while (p < tag.end && isSpace(text[p]))
            ++p;
        const std::size_t nameStart = p;
        while (p < tag.end && !isSpace(text[p]) && text[p] != '=' && text[p] != '/')
            ++p;
        if (p == nameStart)
            return false;
        const std::string attribute = text.substr(nameStart, p - nameStart);
        while (p < tag.end && isSpace(text[p]))
            ++p;
        if (p >= tag.end || text[p] != '=')
            return false;
        ++p;
        while (p < tag.end && isSpace(text[p]))
            ++p;
        if (p >= tag.end || (text[p] != '"' && text[p] != '\''))
            return false;
        valueStart = p + 1;
        valueEnd = text.find(text[p], valueStart);
        if (valueEnd == std::string::npos || valueEnd > tag.end)
            return false;
        if (attribute == name)
            return true;
        p = valueEnd + 1;
    }
}

} // namespace

bool isExecutionLevel(const std::string& level) {
    return level == "asInvoker" || level == "highestAvailable" || level == "requireAdministrator";
}

std::string executionLevel(const std::string& manifest) {
    Tag tag;
    std::size_t start = 0, end = 0;
    if (findTag(manifest, kElement, 0, tag) && !tag.closing &&
        findAttribute(manifest, tag, "level", start, end))
        return manifest.substr(start, end - start);
    return {};
}

std::string withExecutionLevel(const std::string& manifest, const std::string& level) {
    std::string edited = manifest;
    Tag tag;
    if (findTag(manifest, kElement, 0, tag) && !tag.closing) {
        std::size_t start = 0, end = 0;
        if (findAttribute(manifest, tag, "level", start, end))
            return edited.replace(start, end - start, level);
        return edited.insert(tag.nameEnd, " level=\"" + level + "\"");
    }
    // The element goes into the holders there are, each looked for inside the one
    // before: a second trustInfo may make Windows refuse the manifest ("the
    // side-by-side configuration is incorrect").
    std::size_t found = 0;
    Tag holder;
    std::size_t scopeEnd = manifest.size();
    bool empty = false;
    while (found < kHolderCount && !empty &&
           findTag(manifest, kHolders[found], found == 0 ? 0 : holder.end + 1, tag) &&
           !tag.closing && tag.start < scopeEnd) {
        holder = tag;
        empty = manifest[tag.end - 1] == '/';
        Tag end;
        if (!empty && findTag(manifest, kHolders[found], tag.end + 1, end) && end.closing)
            scopeEnd = end.start;
        ++found;
    }
    if (found > 0) {
        const std::string name =
            manifest.substr(holder.start + 1, holder.nameEnd - holder.start - 1);
        const std::string inside =
            missingHolders(found, name.substr(0, name.rfind(':') + 1), level);
        if (empty)
            return edited.replace(holder.end - 1, 2, ">" + inside + "</" + name + ">");
        return edited.insert(holder.end + 1, inside);
    }
    bool hasEnd = false;
    Tag assemblyEnd;
    for (std::size_t from = 0; findTag(manifest, "assembly", from, tag); from = tag.end + 1)
        if (tag.closing) {
            assemblyEnd = tag;
            hasEnd = true;
        }
    require(hasEnd, "the manifest has no requestedExecutionLevel, nor an end of its assembly "
                    "element to add one before: it is no UTF-8 XML manifest");
    return edited.insert(assemblyEnd.start, trustInfo(level));
}

std::string newManifest(const std::string& level) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
           "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\n" +
           trustInfo(level) + "</assembly>\n";
}

} // namespace pe
