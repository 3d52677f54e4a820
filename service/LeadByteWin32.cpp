//===- LeadByteWin32.cpp - Lead bytes of the system code page ------------===//
#include "LeadByte.h"

#include "win32/WindowsApi.h"

bool systemLeadByte(unsigned char byte) {
    return IsDBCSLeadByte(byte) != FALSE;
}
