//===- CommandTail.h - The arguments part of a process command line ------===//
//
// Windows hands a program its command line whole, program name included.
// The operation is chosen from what follows the name.
//
//===----------------------------------------------------------------------===//
#pragma once

// The command line after the program name and the blanks and control
// characters that follow it. A name that starts with a double quote runs to
// the next double quote, so it may hold blanks. Points into commandLine.
const char* commandTail(const char* commandLine);
