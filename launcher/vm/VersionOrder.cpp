#include "VersionOrder.h"

#include "BoundedText.h"

#include <cstring>

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The next run of digits at or after text, without its leading zeros (so "007"
// and "7" are the same number); false when there is none.
bool nextNumber(const char*& text, const char*& digits, std::size_t& length) {
    while (*text != '\0' && !isDigit(*text))
        ++text;
    if (*text == '\0')
        return false;
    while (*text == '0' && isDigit(text[1]))
        ++text;
    digits = text;
    while (isDigit(*text))
        ++text;
    length = static_cast<std::size_t>(text - digits);
    return true;
}

// Compares as numbers of any length: more digits is more, then digit by digit.
int compareNumbers(const char* a, std::size_t aLength, const char* b, std::size_t bLength) {
    if (aLength != bLength)
        return aLength < bLength ? -1 : 1;
    int order = std::memcmp(a, b, aLength);
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}

} // namespace

int compareVersions(const char* a, const char* b) {
    const char* restA = a;
    const char* restB = b;
    for (;;) {
        const char *digitsA = nullptr, *digitsB = nullptr;
        std::size_t lengthA = 0, lengthB = 0;
        bool hasA = nextNumber(restA, digitsA, lengthA);
        bool hasB = nextNumber(restB, digitsB, lengthB);
        if (!hasA || !hasB) {
            if (hasA != hasB)
                return hasA ? 1 : -1;
            break;
        }
        if (int order = compareNumbers(digitsA, lengthA, digitsB, lengthB))
            return order;
    }
    int order = std::strcmp(a, b);
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}

void VersionShortlist::offer(const char* name) {
    if (std::strlen(name) >= kMaxName || (bounded_ && compareVersions(name, olderThan_) >= 0))
        return;
    std::size_t position = count_;
    while (position > 0 && compareVersions(name, names_[position - 1]) > 0)
        --position;
    if (position == kCapacity)
        return;
    std::size_t last = count_ < kCapacity ? count_ : kCapacity - 1;
    for (std::size_t i = last; i > position; --i)
        std::memcpy(names_[i], names_[i - 1], kMaxName);
    copyText(names_[position], kMaxName, name);
    if (count_ < kCapacity)
        ++count_;
}

void VersionShortlist::turnPage() {
    if (count_ > 0) {
        std::memcpy(olderThan_, names_[count_ - 1], kMaxName);
        bounded_ = true;
    }
    count_ = 0;
}
