#include "BoundedText.h"

#include <cstdio>
#include <cstring>

bool copyText(char* out, std::size_t size, const char* text) {
    std::size_t length = std::strlen(text);
    if (size == 0 || length >= size)
        return false;
    std::memmove(out, text, length + 1);
    return true;
}

bool appendText(char* out, std::size_t size, const char* text) {
    std::size_t used = std::strlen(out);
    std::size_t length = std::strlen(text);
    if (used >= size || length >= size - used)
        return false;
    std::memmove(out + used, text, length + 1);
    return true;
}

bool formatText(char* out, std::size_t size, const char* format, std::va_list args) {
    if (size == 0)
        return false;
        // The Windows C runtime's _vsnprintf leaves the buffer unterminated when the
        // text fills it (and answers -1), so the last byte is set here in every case.
#ifdef _WIN32
    // The C runtime's own formatter: the standard name would bring MinGW's
    // replacement, which is bigger than the rest of the launcher together.
    int written = _vsnprintf(out, size, format, args);
#else
    int written = std::vsnprintf(out, size, format, args);
#endif
    out[size - 1] = '\0';
    return written >= 0 && static_cast<std::size_t>(written) < size;
}

bool equalsIgnoringCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        if (asciiLower(*a) != asciiLower(*b))
            return false;
        if (*a == '\0')
            return true;
    }
}
