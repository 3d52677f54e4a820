#include "LaunchOptions.h"

#include "BoundedText.h"

#include <cstring>

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// The next word of the tail into out, without the double quotes around it;
// false when it does not fit. tail moves past the word and the blanks after it.
bool nextWord(const char*& tail, char (&out)[kMaxPath]) {
    const char* start = tail;
    const char* end;
    if (*tail == '"') {
        ++start;
        end = std::strchr(start, '"');
        if (end == nullptr)
            end = start + std::strlen(start);
        tail = *end == '"' ? end + 1 : end;
    } else {
        for (end = tail; *end != '\0' && !isBlank(*end); ++end) {
        }
        tail = end;
    }
    while (isBlank(*tail))
        ++tail;
    std::size_t length = static_cast<std::size_t>(end - start);
    if (length >= sizeof out)
        return false;
    std::memcpy(out, start, length);
    out[length] = '\0';
    return true;
}

} // namespace

TailKind readCommandTail(const char* tail, LaunchOptions& options) {
    if (tail == nullptr || *tail == '\0')
        return TailKind::Options;
    if (*tail != '/' && std::strncmp(tail, "--", 2) != 0)
        return TailKind::Requirement;
    // An unknown word does not end the reading: a /quiet after it still keeps
    // every window away from an unattended installation.
    TailKind kind = TailKind::Options;
    while (*tail != '\0') {
        char word[kMaxPath];
        if (!nextWord(tail, word))
            return TailKind::Invalid;
        if (std::strcmp(word, "--") == 0) {
            if (*tail != '\0')
                options.installerArguments = tail;
            break;
        }
        if (equalsIgnoringCase(word, "/quiet"))
            options.quiet = true;
        else if (!equalsIgnoringCase(word, "/log"))
            kind = TailKind::Invalid;
        else if (*tail == '\0' || !nextWord(tail, options.logFile) || options.logFile[0] == '\0')
            return TailKind::Invalid;
    }
    return kind;
}
