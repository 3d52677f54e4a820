//===- GrowingText.cpp - A text of any length ----------------------------===//
#include "GrowingText.h"

#include <cstdlib>

GrowingText::~GrowingText() {
    std::free(bytes_);
}

GrowingText::GrowingText(GrowingText&& other) noexcept
    : bytes_(other.bytes_), size_(other.size_), capacity_(other.capacity_), failed_(other.failed_) {
    other.bytes_ = nullptr;
    other.size_ = 0;
    other.capacity_ = 0;
    other.failed_ = false;
}

GrowingText& GrowingText::operator=(GrowingText&& other) noexcept {
    if (this != &other) {
        std::free(bytes_);
        bytes_ = other.bytes_;
        size_ = other.size_;
        capacity_ = other.capacity_;
        failed_ = other.failed_;
        other.bytes_ = nullptr;
        other.size_ = 0;
        other.capacity_ = 0;
        other.failed_ = false;
    }
    return *this;
}

void GrowingText::append(char byte) {
    if (failed_)
        return;
    if (size_ + 1 >= capacity_) {
        const std::size_t grown = capacity_ == 0 ? 64 : capacity_ * 2;
        if (grown <= capacity_) {
            failed_ = true;
            return;
        }
        char* moved = static_cast<char*>(std::realloc(bytes_, grown));
        if (moved == nullptr) {
            failed_ = true;
            return;
        }
        bytes_ = moved;
        capacity_ = grown;
    }
    bytes_[size_++] = byte;
    bytes_[size_] = '\0';
}

void GrowingText::truncate(std::size_t size) {
    if (size >= size_)
        return;
    size_ = size;
    bytes_[size_] = '\0';
}
