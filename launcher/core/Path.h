//===- Path.h - Path routines over fixed text buffers ---------------------===//
//
// Paths are NUL-terminated 8-bit texts in buffers of kMaxPath bytes, in the
// code page of the "A" functions. The routines compare single bytes: the
// separator is the backslash, the extension mark the full stop (in UTF-8 no
// byte of another character has their values). None allocates; none writes
// past the buffer it is given.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstddef>
#include <cstdint>

// Room for a path of the platform's 259 characters and its NUL in UTF-8, the
// code page of the "A" functions under the manifest, where one character may
// take three bytes. Windows refuses longer paths itself.
constexpr std::size_t kMaxPath = 3 * 260;

// Appends a backslash unless the text ends in one. False, text unchanged, when
// there is no room for it.
bool ensureTrailingBackslash(char* text, std::size_t size);

// Removes one trailing backslash, if there is one.
void stripTrailingBackslash(char* text);

// Appends component to path with exactly one backslash between them (one
// trailing backslash of the component is dropped, a leading one kept). False,
// path unchanged, when the result would not fit.
bool joinPath(char* path, std::size_t size, const char* component);

// The text after the last backslash of path (less one trailing backslash).
// False, out unwritten, when the path holds no backslash or out is too small.
bool fileNameOf(const char* path, char* out, std::size_t size);

// True for a path that names the same place whatever the current drive and
// directory: a drive letter, a colon and a backslash, or a UNC path that starts
// with two backslashes (a slash counts as a backslash). An empty path, ".",
// bin, \bin and C:bin all depend on the current directory or drive.
bool isAbsolutePath(const char* path);

// Copies the next element of a list separated by semicolons, as PATH is, into
// out and moves list past it; false once list is null, which it becomes after
// the last element. Empty elements come out empty, and so does an element too
// long for out.
bool nextListElement(const char*& list, char* out, std::size_t size);

// Cuts name at its last full stop; false, and no change, when there is none.
bool stripExtension(char* name);

// Turns every vertical bar into a NUL: a file-dialog filter from the string
// table becomes the platform's NUL-separated form.
void splitFilter(char* text);

// Why name cannot stand for one file of its own in a directory, as a phrase that
// follows "the name" in a message; null when it can. Refused are the empty name,
// "." and "..", path separators and colons, the characters Windows does not allow
// in a file name (? < > " | * and the control characters), a trailing dot or
// blank (Windows drops it, so the file would get another name), and the device
// names CON, PRN, AUX, NUL, COM1 to COM9 and LPT1 to LPT9 in any letter case,
// alone or before an extension ("nul.class" is the device NUL too).
const char* fileNameProblem(const char* name);

// True for a name that stands for one file in its directory: fileNameProblem
// finds nothing wrong with it.
bool isPlainFileName(const char* name);

// The name of a launcher's own folder in the temporary directory: "radad-" and
// the eight lower-case hexadecimal digits of number.
constexpr std::size_t kRunFolderNameSize = sizeof "radad-00000000";
void runFolderName(std::uint32_t number, char (&out)[kRunFolderNameSize]);

// True for exactly such a name: the only folders that a launcher removes when
// another launcher left them behind.
bool isRunFolderName(const char* name);

template <std::size_t N> bool ensureTrailingBackslash(char (&text)[N]) {
    return ensureTrailingBackslash(text, N);
}
template <std::size_t N> bool joinPath(char (&path)[N], const char* component) {
    return joinPath(path, N, component);
}
template <std::size_t N> bool nextListElement(const char*& list, char (&out)[N]) {
    return nextListElement(list, out, N);
}
template <std::size_t N> bool fileNameOf(const char* path, char (&out)[N]) {
    return fileNameOf(path, out, N);
}
