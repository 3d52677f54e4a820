#include "VmCommandLine.h"

#include "BoundedText.h"

#include <cstring>

namespace {

bool namesVariable(const char* entry, const char* name) {
    std::size_t length = std::strlen(name);
    for (std::size_t i = 0; i < length; ++i)
        if (asciiLower(entry[i]) != asciiLower(name[i]))
            return false;
    return entry[length] == '=';
}

} // namespace

bool quoteDirectory(const char* directory, char* out, std::size_t size) {
    if (std::strchr(directory, ' ') == nullptr)
        return copyText(out, size, directory);
    std::size_t length = std::strlen(directory);
    if (length > 0 && directory[length - 1] == '\\')
        --length;
    if (length + 3 > size)
        return false;
    out[0] = '"';
    std::memcpy(out + 1, directory, length);
    out[length + 1] = '"';
    out[length + 2] = '\0';
    return true;
}

bool buildClassTail(const char* classPathOption, const char* classDirectory, const char* className,
                    const char* arguments, char* out, std::size_t size) {
    char tail[kMaxCommandLine] = {};
    bool fits = true;
    if (classPathOption != nullptr && *classPathOption != '\0') {
        char directory[kMaxTail];
        fits = quoteDirectory(classDirectory, directory, sizeof directory) &&
               appendText(tail, classPathOption) && appendText(tail, directory) &&
               appendText(tail, " ");
    }
    fits = fits && appendText(tail, className);
    if (arguments != nullptr)
        fits = fits && appendText(tail, " ") && appendText(tail, arguments);
    return fits && copyText(out, size, tail);
}

bool buildCommandLine(const char* executable, const char* arguments, char* out, std::size_t size) {
    char line[kMaxCommandLine] = "\"";
    bool fits = appendText(line, executable) && appendText(line, "\"");
    if (arguments != nullptr)
        fits = fits && appendText(line, " ") && appendText(line, arguments);
    return fits && copyText(out, size, line);
}

std::size_t environmentWith(const char* block, const char* name, const char* value, char* out,
                            std::size_t size) {
    std::size_t needed = std::strlen(name) + 1 + std::strlen(value) + 1 + 1;
    for (const char* entry = block; entry != nullptr && *entry != '\0';
         entry += std::strlen(entry) + 1)
        if (!namesVariable(entry, name))
            needed += std::strlen(entry) + 1;
    if (needed > size)
        return needed;

    char* next = out;
    for (const char* entry = block; entry != nullptr && *entry != '\0';
         entry += std::strlen(entry) + 1) {
        if (namesVariable(entry, name))
            continue;
        std::size_t length = std::strlen(entry) + 1;
        std::memcpy(next, entry, length);
        next += length;
    }
    std::size_t nameLength = std::strlen(name);
    std::memcpy(next, name, nameLength);
    next += nameLength;
    *next++ = '=';
    std::size_t valueLength = std::strlen(value) + 1;
    std::memcpy(next, value, valueLength);
    next += valueLength;
    *next = '\0';
    return needed;
}
