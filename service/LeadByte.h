//===- LeadByte.h - Double-byte code page awareness ----------------------===//
//
// Under a double-byte ANSI code page the second byte of a character may have
// the value of a backslash or a percent sign. Searches over such texts step
// over whole characters; the predicate says which bytes begin a two-byte one.
// The Windows program answers with the code pages below, the unit tests with
// tables of their own.
//
//===----------------------------------------------------------------------===//
#pragma once

using LeadBytePredicate = bool (*)(unsigned char byte);

// For single-byte code pages: no byte starts a two-byte character.
inline bool noLeadBytes(unsigned char) {
    return false;
}

// The code page of the program's "A" functions, in which the paths that
// Windows hands over are spelled: UTF-8 under the manifest from Windows 10
// version 1903 on (no lead bytes: no byte of a UTF-8 character is a
// backslash), the system's ANSI code page before. Windows only.
bool processCodePageLeadByte(unsigned char byte);

// The system's ANSI code page, in which files of old are written, whatever
// code page the "A" functions use. Windows only.
bool systemCodePageLeadByte(unsigned char byte);
