//===- BatchCommandWin32.cpp - Reading a batch file ----------------------===//
#include "BatchCommand.h"

#include "win32/ScopedHandle.h"

bool extractCommand(const char* path, GrowingText& command) {
    // No sharing: a batch file that another program holds open counts as unreadable.
    UniqueFileHandle file(
        CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;

    BatchCommandReader reader(systemLeadByte);
    char piece[512];
    for (;;) {
        DWORD count = 0;
        if (!ReadFile(file.get(), piece, sizeof piece, &count, nullptr))
            return false;
        if (count == 0 || !reader.feed(piece, count))
            break;
    }
    reader.finish();
    if (reader.command().failed())
        return false;
    command = reader.takeCommand();
    return true;
}
