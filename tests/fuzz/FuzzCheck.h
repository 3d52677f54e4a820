//===- FuzzCheck.h - Invariants that every fuzz input must keep -----------===//
//
// A broken invariant aborts, which libFuzzer reports as a finding and keeps as
// a crash input; assert would vanish from a build with NDEBUG.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

// The length of the text in a buffer of size bytes; size when it has no NUL.
inline std::size_t textLength(const char* text, std::size_t size) {
    const void* nul = std::memchr(text, '\0', size);
    return nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - text) : size;
}

// The oracles' own ASCII case fold, written apart from the programs' helpers so
// that a fault in one of those cannot hide in the oracle too.
inline char oracleLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}
