//===- RegistryText.h - The text in a REG_SZ value as read ---------------===//
//
// RegQueryValueExA hands back a REG_SZ value's bytes as they were stored. A
// program that stored them without their terminating NUL leaves a buffer that
// does not end where the text does.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstddef>

// The length of the text among the dataSize bytes that a query placed in a
// buffer of bufferSize bytes: up to the first NUL, or all of them when there is
// none but the buffer still has room for one. A value without a NUL that fills
// the whole buffer may have been cut by the buffer, so it has no length that
// can be trusted: the result is then false.
bool registryTextLength(const char* data, std::size_t dataSize, std::size_t bufferSize,
                        std::size_t& length);
