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

namespace {

bool probing = false;

} // namespace

ProbeUnderway::ProbeUnderway() {
    ShowCursor(TRUE);
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    probing = true;
}

ProbeUnderway::~ProbeUnderway() {
    probing = false;
    ShowCursor(FALSE);
}

bool handledWhileProbing(HWND dialog, UINT message) {
    if (!probing || (message != WM_SETCURSOR && message != WM_COMMAND))
        return false;
    if (message == WM_SETCURSOR) {
        SetCursor(LoadCursorA(nullptr, IDC_WAIT));
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, TRUE);
    }
    return true;
}
