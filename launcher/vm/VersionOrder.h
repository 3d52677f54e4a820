//===- VersionOrder.h - Java versions, newest first -----------------------===//
//
// Java registers one registry subkey per installed version, named after it:
// "1.8", "1.8.0_392", "11", "17.0.2", "21". Such names are ordered by their
// numeric parts, compared one by one as numbers; whatever is not a digit only
// separates them.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstddef>

// Negative when a is older than b, positive when newer, 0 only for equal texts.
// Where the numbers are equal, the name with more of them is the newer ("1.8.0"
// after "1.8"); names with the same numbers are ordered by their bytes, so that
// the order is total.
int compareVersions(const char* a, const char* b);

// The newest version names offered, newest first: at most kCapacity of them, an
// older one giving way to a newer. Registry key names have at most 255
// characters; a longer name is not taken. Turning the page lets the names of a
// key of any size be taken kCapacity at a time.
class VersionShortlist {
public:
    static constexpr std::size_t kCapacity = 32;
    static constexpr std::size_t kMaxName = 256;

    void offer(const char* name);
    // Forgets the names held; from now on only names older than the last of
    // them are taken.
    void turnPage();
    std::size_t size() const { return count_; }
    bool full() const { return count_ == kCapacity; }
    const char* operator[](std::size_t index) const { return names_[index]; }

private:
    char names_[kCapacity][kMaxName] = {};
    std::size_t count_ = 0;
    char olderThan_[kMaxName] = {};
    bool bounded_ = false;
};
