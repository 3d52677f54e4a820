//===- CException.h - The launcher's one failure ---------------------------===//
//
// A failing file or resource call gives a CException carrying the platform's
// error code. It is a value: returned by the operation that failed and by every
// caller it passes through, up to the one place that handles it, so that the
// launcher needs no C++ exception machinery. Where a dialog procedure stands
// between the failure and its handler, the application holds it meanwhile.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>

class [[nodiscard]] CException {
public:
    // No failure.
    CException() = default;
    explicit CException(std::uint32_t code) : errorCode(code), raised(true) {}

    // True when an operation failed; a failed call's code may even be 0.
    explicit operator bool() const { return raised; }

    std::uint32_t errorCode = 0;

private:
    bool raised = false;
};
