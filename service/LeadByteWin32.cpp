//===- LeadByteWin32.cpp - Lead bytes of the code pages in use -----------===//
#include "LeadByte.h"

#include "win32/CodePage.h"

bool processCodePageLeadByte(unsigned char byte) {
    return IsDBCSLeadByte(byte) != FALSE;
}

bool systemCodePageLeadByte(unsigned char byte) {
    // Asked for every byte of a batch file: the locale is looked up once.
    static UINT codePage = 0;
    if (codePage == 0)
        codePage = systemAnsiCodePage();
    return IsDBCSLeadByteEx(codePage, byte) != FALSE;
}
