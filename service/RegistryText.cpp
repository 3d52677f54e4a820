//===- RegistryText.cpp - The text in a REG_SZ value as read -------------===//
#include "RegistryText.h"

#include <cstring>

bool registryTextLength(const char* data, std::size_t dataSize, std::size_t bufferSize,
                        std::size_t& length) {
    const std::size_t filled = dataSize < bufferSize ? dataSize : bufferSize;
    if (const void* nul = std::memchr(data, '\0', filled)) {
        length = static_cast<std::size_t>(static_cast<const char*>(nul) - data);
        return true;
    }
    if (filled == bufferSize)
        return false;
    length = filled;
    return true;
}
