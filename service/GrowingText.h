//===- GrowingText.h - A text of any length ------------------------------===//
//
// The commands lifted from the batch files may be longer than any fixed
// buffer. std::string would do, but it drags the exception machinery of the
// C++ runtime into a program that uses no exceptions; this holds bytes in
// memory from malloc and reports an allocation failure by a flag.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstddef>

class GrowingText {
public:
    GrowingText() = default;
    ~GrowingText();
    GrowingText(const GrowingText&) = delete;
    GrowingText& operator=(const GrowingText&) = delete;
    GrowingText(GrowingText&& other) noexcept;
    GrowingText& operator=(GrowingText&& other) noexcept;

    // Once an allocation has failed, nothing more is appended.
    void append(char byte);
    // Keeps the first size bytes; a larger size changes nothing.
    void truncate(std::size_t size);

    const char* c_str() const { return bytes_ != nullptr ? bytes_ : ""; }
    std::size_t size() const { return size_; }
    bool failed() const { return failed_; }

private:
    char* bytes_ = nullptr; // NUL-terminated when not null
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
    bool failed_ = false;
};
