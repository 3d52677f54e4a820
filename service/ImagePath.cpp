//===- ImagePath.cpp - The executable's path and directory ---------------===//
#include "ImagePath.h"

#include <cstring>

std::size_t imageDirectoryLength(const char* path, LeadBytePredicate isLeadByte) {
    std::size_t lastBackslash = 0;
    for (std::size_t i = 0; path[i] != '\0'; ++i) {
        if (path[i] == '\\')
            lastBackslash = i;
        else if (isLeadByte(static_cast<unsigned char>(path[i])) && path[i + 1] != '\0')
            ++i;
    }
    return lastBackslash;
}

bool registrationPath(const char* path, char* result, std::size_t resultSize) {
    const std::size_t length = std::strlen(path);
    const bool quoted = std::strchr(path, ' ') != nullptr;
    const std::size_t needed = length + (quoted ? 2 : 0) + 1;
    if (resultSize == 0)
        return false;
    if (needed > resultSize) {
        result[0] = '\0';
        return false;
    }
    char* out = result;
    if (quoted)
        *out++ = '"';
    std::memcpy(out, path, length);
    out += length;
    if (quoted)
        *out++ = '"';
    *out = '\0';
    return true;
}

namespace {
bool isAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool startsWithDrive(const char* path) {
    return isAsciiLetter(path[0]) && path[1] == ':';
}
} // namespace

bool isBareDrive(const char* directory) {
    return startsWithDrive(directory) && directory[2] == '\0';
}

bool pathFromDirectory(const char* directory, const char* path, char* result,
                       std::size_t resultSize) {
    if (resultSize == 0)
        return false;
    result[0] = '\0';
    const bool relative = path[0] != '\\' && path[0] != '/' && !startsWithDrive(path);
    const std::size_t directoryLength = relative ? std::strlen(directory) : 0;
    const std::size_t separatorLength = directoryLength != 0 ? 1 : 0;
    const std::size_t pathLength = std::strlen(path);
    if (directoryLength + separatorLength + pathLength >= resultSize)
        return false;
    std::memcpy(result, directory, directoryLength);
    if (separatorLength != 0)
        result[directoryLength] = '\\';
    std::memcpy(result + directoryLength + separatorLength, path, pathLength + 1);
    return true;
}
