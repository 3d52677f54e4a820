//===- CommandTail.cpp - The arguments part of a process command line ----===//
#include "CommandTail.h"

namespace {
bool isBlankOrControl(char c) {
    const unsigned char code = static_cast<unsigned char>(c);
    return code >= 0x01 && code <= 0x20;
}
} // namespace

const char* commandTail(const char* commandLine) {
    const char* cursor = commandLine;
    if (*cursor == '"') {
        ++cursor;
        while (*cursor != '\0' && *cursor != '"')
            ++cursor;
        if (*cursor == '"')
            ++cursor;
    } else {
        while (static_cast<unsigned char>(*cursor) > 0x20)
            ++cursor;
    }
    while (isBlankOrControl(*cursor))
        ++cursor;
    return cursor;
}
