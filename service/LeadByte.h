//===- LeadByte.h - Double-byte code page awareness ----------------------===//
//
// Under a double-byte ANSI code page the second byte of a character may have
// the value of a backslash or a percent sign. Searches over such texts step
// over whole characters; the predicate says which bytes begin a two-byte one.
// The Windows program answers with the system code page, the unit tests with
// tables of their own.
//
//===----------------------------------------------------------------------===//
#pragma once

using LeadBytePredicate = bool (*)(unsigned char byte);

// For single-byte code pages: no byte starts a two-byte character.
inline bool noLeadBytes(unsigned char) {
    return false;
}

// The system's ANSI code page (Windows only).
bool systemLeadByte(unsigned char byte);
