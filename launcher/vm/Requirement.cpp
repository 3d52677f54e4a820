#include "Requirement.h"

#include "BoundedText.h"

#include <cstring>

namespace {

// Above every version of four digits: the upper end of "N+".
constexpr int kNoUpperEnd = 10000;

enum class Form { anyVm, generation11, range };

// An alternative split into its fields, each ended by its NUL.
struct Alternative {
    char text[kMaxText];
    const char* vendor;
    const char* os;
    Form form;
    int low;
    int high;
};

bool startsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// One to four decimal digits; -1 for any other text.
int wholeNumber(const char* text) {
    int value = 0;
    std::size_t length = 0;
    for (; text[length] != '\0'; ++length) {
        if (length == 4 || text[length] < '0' || text[length] > '9')
            return -1;
        value = value * 10 + (text[length] - '0');
    }
    return length == 0 ? -1 : value;
}

bool parse(const char* alternative, std::size_t length, Alternative& out) {
    if (length >= sizeof out.text)
        return false;
    std::memcpy(out.text, alternative, length);
    out.text[length] = '\0';
    char* first = std::strchr(out.text, ':');
    char* second = first != nullptr ? std::strchr(first + 1, ':') : nullptr;
    if (second == nullptr)
        return false;
    *first = *second = '\0';
    out.vendor = first + 1;
    out.os = second + 1;

    char* version = out.text;
    out.low = 0;
    out.high = kNoUpperEnd;
    if (startsWith(version, "1.1") || startsWith(version, "1.0") || version[0] == 'A') {
        out.form = startsWith(version, "1.1") ? Form::generation11 : Form::anyVm;
        return true;
    }
    out.form = Form::range;
    std::size_t versionLength = std::strlen(version);
    if (char* dash = std::strchr(version, '-')) {
        *dash = '\0';
        out.low = wholeNumber(version);
        out.high = wholeNumber(dash + 1);
    } else if (versionLength > 0 && version[versionLength - 1] == '+') {
        version[--versionLength] = '\0';
        const bool oldSpelling = startsWith(version, "1.");
        out.low = wholeNumber(oldSpelling ? version + 2 : version);
        if (oldSpelling && out.low > 8)
            out.low = -1;
    } else {
        return false;
    }
    return out.low >= 0 && out.low <= out.high;
}

bool appendNumber(char* out, std::size_t size, int value) {
    char digits[8] = {};
    std::size_t first = sizeof digits - 1;
    do
        digits[--first] = static_cast<char>('0' + value % 10);
    while ((value /= 10) != 0);
    return appendText(out, size, digits + first);
}

// A vendor or os field that asks for something: not "A", not empty.
bool asksFor(const char* field) {
    return field[0] != '\0' && std::strcmp(field, "A") != 0;
}

} // namespace

std::size_t nextAlternative(const char*& rest, const char*& alternative) {
    rest += std::strspn(rest, " \t");
    alternative = rest;
    rest += std::strcspn(rest, " \t");
    return static_cast<std::size_t>(rest - alternative);
}

bool isKnownAlternative(const char* alternative, std::size_t length) {
    Alternative parsed;
    return parse(alternative, length, parsed);
}

bool describeAlternative(const char* alternative, std::size_t length, char* out, std::size_t size) {
    Alternative parsed;
    if (size == 0)
        return false;
    out[0] = '\0';
    bool fits = parse(alternative, length, parsed);
    if (fits && parsed.form == Form::range) {
        fits = appendText(out, size, "Java ") && appendNumber(out, size, parsed.low);
        if (parsed.high == kNoUpperEnd)
            fits = fits && appendText(out, size, " or later");
        else if (parsed.high != parsed.low)
            fits = fits && appendText(out, size, " to ") && appendNumber(out, size, parsed.high);
    } else if (fits) {
        fits = appendText(out, size, parsed.form == Form::anyVm ? "any Java" : "Java 1.1 or later");
    }
    if (fits && asksFor(parsed.vendor))
        fits = appendText(out, size, " from ") && appendText(out, size, parsed.vendor);
    if (fits && asksFor(parsed.os))
        fits = appendText(out, size, " on ") && appendText(out, size, parsed.os);
    if (!fits)
        out[0] = '\0';
    return fits;
}

bool describeRequirement(const char* requirement, char* out, std::size_t size) {
    if (size == 0)
        return false;
    out[0] = '\0';
    // The words of an alternative are its vendor and os fields and some 30 more.
    char words[2 * kMaxText];
    const char* alternative = nullptr;
    bool fits = true;
    for (const char* rest = requirement; std::size_t length = nextAlternative(rest, alternative);)
        if (fits && describeAlternative(alternative, length, words, sizeof words))
            fits =
                (out[0] == '\0' || appendText(out, size, " or ")) && appendText(out, size, words);
    if (!fits)
        out[0] = '\0';
    return out[0] != '\0';
}
