#include "DialogSupport.h"

#include "Centering.h"

void centerDialog(HWND window) {
    HWND reference = reinterpret_cast<HWND>(GetWindowLongPtrA(window, GWLP_HWNDPARENT));
    if (reference == nullptr)
        reference = GetDesktopWindow();
    RECT windowRect, referenceRect;
    GetWindowRect(window, &windowRect);
    GetWindowRect(reference, &referenceRect);
    ScreenPoint origin = centeredOrigin(
        ScreenRect{referenceRect.left, referenceRect.top, referenceRect.right,
                   referenceRect.bottom},
        ScreenRect{windowRect.left, windowRect.top, windowRect.right, windowRect.bottom});
    MoveWindow(window, origin.x, origin.y, windowRect.right - windowRect.left,
               windowRect.bottom - windowRect.top, FALSE);
}
