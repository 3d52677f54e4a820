#include "Path.h"

#include "BoundedText.h"

#include <cstring>

namespace {

// Scans from the last character back to the first; the first is examined too.
char* findLast(char* text, char wanted) {
    for (std::size_t i = std::strlen(text); i > 0; --i)
        if (text[i - 1] == wanted)
            return text + i - 1;
    return nullptr;
}

bool endsWithBackslash(const char* text) {
    std::size_t length = std::strlen(text);
    return length > 0 && text[length - 1] == '\\';
}

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

bool isControlCharacter(char c) {
    unsigned char byte = static_cast<unsigned char>(c);
    return byte > 0 && byte < 0x20;
}

// Windows takes the part of a name before its first dot, less trailing blanks,
// to decide whether it names a device. The digits of COM and LPT include the
// superscripts one to three of the Latin code pages, which Windows counts too.
bool isDeviceName(const char* name) {
    std::size_t length = std::strcspn(name, ".");
    while (length > 0 && name[length - 1] == ' ')
        --length;
    char base[5] = {};
    if (length < 3 || length > 4)
        return false;
    for (std::size_t i = 0; i < length; ++i)
        base[i] = asciiLower(name[i]);
    if (length == 3)
        return std::strcmp(base, "con") == 0 || std::strcmp(base, "prn") == 0 ||
               std::strcmp(base, "aux") == 0 || std::strcmp(base, "nul") == 0;
    unsigned char digit = static_cast<unsigned char>(base[3]);
    bool portDigit =
        (digit >= '1' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
    return portDigit && (std::strncmp(base, "com", 3) == 0 || std::strncmp(base, "lpt", 3) == 0);
}

} // namespace

bool ensureTrailingBackslash(char* text, std::size_t size) {
    if (endsWithBackslash(text))
        return true;
    return appendText(text, size, "\\");
}

void stripTrailingBackslash(char* text) {
    if (endsWithBackslash(text))
        text[std::strlen(text) - 1] = '\0';
}

bool joinPath(char* path, std::size_t size, const char* component) {
    char part[kMaxPath];
    if (!copyText(part, component))
        return false;
    stripTrailingBackslash(part);

    std::size_t pathLength = std::strlen(path);
    std::size_t separator = endsWithBackslash(path) ? 0 : 1;
    if (pathLength + separator + std::strlen(part) >= size)
        return false;
    ensureTrailingBackslash(path, size);
    return appendText(path, size, part);
}

bool fileNameOf(const char* path, char* out, std::size_t size) {
    char copy[kMaxPath];
    if (!copyText(copy, path))
        return false;
    stripTrailingBackslash(copy);
    const char* separator = findLast(copy, '\\');
    if (separator == nullptr)
        return false;
    return copyText(out, size, separator + 1);
}

bool isAbsolutePath(const char* path) {
    char drive = asciiLower(path[0]);
    if (drive >= 'a' && drive <= 'z' && path[1] == ':')
        return isSeparator(path[2]);
    return isSeparator(path[0]) && isSeparator(path[1]);
}

bool nextListElement(const char*& list, char* out, std::size_t size) {
    if (list == nullptr)
        return false;
    const char* end = std::strchr(list, ';');
    std::size_t length = end != nullptr ? static_cast<std::size_t>(end - list) : std::strlen(list);
    if (size > 0) {
        if (length >= size)
            length = 0;
        std::memcpy(out, list, length);
        out[length] = '\0';
    }
    list = end != nullptr ? end + 1 : nullptr;
    return true;
}

bool stripExtension(char* name) {
    char* mark = findLast(name, '.');
    if (mark == nullptr)
        return false;
    *mark = '\0';
    return true;
}

void splitFilter(char* text) {
    for (; *text != '\0'; ++text)
        if (*text == '|')
            *text = '\0';
}

const char* fileNameProblem(const char* name) {
    if (*name == '\0')
        return "is empty";
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
        return "names a directory";
    if (std::strpbrk(name, "\\/:") != nullptr)
        return "holds a path separator or a colon";
    for (const char* c = name; *c != '\0'; ++c)
        if (std::strchr("?<>\"|*", *c) != nullptr || isControlCharacter(*c))
            return "holds a character that Windows does not allow in a file name";
    char last = name[std::strlen(name) - 1];
    if (last == '.' || last == ' ')
        return "ends in a dot or a blank, which Windows drops";
    if (isDeviceName(name))
        return "is a device name of Windows";
    return nullptr;
}

bool isPlainFileName(const char* name) {
    return fileNameProblem(name) == nullptr;
}

void runFolderName(std::uint32_t number, char (&out)[kRunFolderNameSize]) {
    std::memcpy(out, "radad-", 6);
    for (int digit = 0; digit < 8; ++digit)
        out[6 + digit] = "0123456789abcdef"[(number >> (28 - 4 * digit)) & 0xF];
    out[14] = '\0';
}

bool isRunFolderName(const char* name) {
    if (std::strncmp(name, "radad-", 6) != 0 || std::strlen(name) != kRunFolderNameSize - 1)
        return false;
    for (int digit = 0; digit < 8; ++digit)
        if (std::strchr("0123456789abcdef", name[6 + digit]) == nullptr)
            return false;
    return true;
}
