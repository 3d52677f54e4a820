#include "VmRoster.h"

#include "BoundedText.h"

bool VmRoster::add(const char* fullPath) {
    if (full())
        return false;
    for (std::size_t i = 0; i < count_; ++i)
        if (equalsIgnoringCase(paths_[i], fullPath))
            return false;
    if (!copyText(paths_[count_], fullPath))
        return false;
    ++count_;
    return true;
}
