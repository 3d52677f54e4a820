//===- BoundedText.h - Copies into fixed text buffers --------------------===//
//
// Every text of the launcher lives in a fixed buffer. These helpers take the
// buffer's size and never write past it; each reports whether the whole text
// fitted, so that a caller can refuse what does not.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdarg>
#include <cstddef>

// The buffer of a text that is no path: the requirement string, the texts of
// the payload, a caption, a string of the string table.
constexpr std::size_t kMaxText = 260;

// Copies text into out. When it does not fit, out is left unchanged and the
// result is false.
bool copyText(char* out, std::size_t size, const char* text);

// Appends text to out. When the result would not fit, out is left unchanged and
// the result is false.
bool appendText(char* out, std::size_t size, const char* text);

// printf-style formatting that always terminates out and cuts what does not
// fit. The result is false when the text was cut.
bool formatText(char* out, std::size_t size, const char* format, std::va_list args);

// ASCII letters in lower case; every other byte as it is, whatever the code page.
inline char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Equal texts, letter case of ASCII letters aside. Unlike lstrcmpiA this does not
// follow the user's locale: in a Turkish one "I" and "i" are not each other's case.
bool equalsIgnoringCase(const char* a, const char* b);

template <std::size_t N> bool copyText(char (&out)[N], const char* text) {
    return copyText(out, N, text);
}
template <std::size_t N> bool appendText(char (&out)[N], const char* text) {
    return appendText(out, N, text);
}
