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

bool isPlainFileName(const char* name) {
    if (*name == '\0' || std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
        return false;
    return std::strpbrk(name, "\\/:") == nullptr;
}
