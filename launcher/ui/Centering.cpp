#include "Centering.h"

namespace {

long centeredStart(long referenceStart, long referenceExtent, long windowExtent) {
    long start = referenceStart + (referenceExtent - windowExtent) / 2;
    return start <= 0 ? 0 : start;
}

} // namespace

ScreenPoint centeredOrigin(const ScreenRect& reference, const ScreenRect& window) {
    return ScreenPoint{
        centeredStart(reference.left, reference.right - reference.left, window.right - window.left),
        centeredStart(reference.top, reference.bottom - reference.top, window.bottom - window.top)};
}
