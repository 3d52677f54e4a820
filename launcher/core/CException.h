//===- CException.h - The launcher's one exception -----------------------===//
//
// A failing file or resource call raises a heap-allocated CException carrying
// the platform's error code, thrown by pointer; whoever catches it deletes it.
// It never crosses a window or dialog procedure: those catch it at their edge.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>

class CException {
public:
    explicit CException(std::uint32_t code) : errorCode(code) {}
    virtual ~CException() = default;

    std::uint32_t errorCode;
    char text[100] = {};
};

[[noreturn]] void throwWin32Error(std::uint32_t code);
