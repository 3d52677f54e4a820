//===- Allocation.cpp - Memory for new without the exception run-time -----===//
//
// The launcher allocates only with new (std::nothrow) and tests the result.
// libstdc++'s nothrow forms call the throwing ones inside a try block, which
// links the C++ exception run-time and the unwinder, some 40 KB, into a program
// that throws nothing. These replacements take the memory from the C run-time's
// heap directly. The throwing forms stay the library's, so that a plain new
// brings that run-time back, which the deliverables test then reports.
//
//===----------------------------------------------------------------------===//
#include <cstdlib>
#include <new>

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size);
}

void operator delete(void* memory) noexcept {
    std::free(memory);
}

void operator delete[](void* memory) noexcept {
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}

void operator delete[](void* memory, std::size_t) noexcept {
    std::free(memory);
}
