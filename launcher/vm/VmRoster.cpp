#include "VmRoster.h"

#include "BoundedText.h"

namespace {

bool sameFile(const FileIdentity& a, const FileIdentity& b) {
    return a.known && b.known && a.volume == b.volume && a.index == b.index;
}

} // namespace

bool VmRoster::add(const char* fullPath, const FileIdentity& identity) {
    if (full())
        return false;
    for (std::size_t i = 0; i < count_; ++i)
        if (sameFile(identities_[i], identity) || equalsIgnoringCase(paths_[i], fullPath))
            return false;
    if (!copyText(paths_[count_], fullPath))
        return false;
    identities_[count_++] = identity;
    return true;
}
