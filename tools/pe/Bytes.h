//===- Bytes.h - Bounded little-endian reads and writes --------------------===//
//
// The byte-level helpers of the PE and resource code. Every read names what it
// reads and checks its bounds first, so that a damaged or hostile file ends in
// a FormatError that says what was wrong, never in a read outside the buffer.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace pe {

using Bytes = std::vector<unsigned char>;

// A file that cannot be read or rewritten as asked; the text names the problem.
class FormatError : public std::runtime_error {
public:
    explicit FormatError(const std::string& what) : std::runtime_error(what) {}
};

inline void require(bool condition, const std::string& problem) {
    if (!condition)
        throw FormatError(problem);
}

// True when count bytes from offset lie within size.
inline bool fits(std::size_t size, std::uint64_t offset, std::uint64_t count) {
    return offset <= size && count <= size - offset;
}

// A read-only window on bytes, with a name for the messages.
class ByteView {
public:
    ByteView(const unsigned char* data, std::size_t size, const char* what)
        : data_(data), size_(size), what_(what) {}
    ByteView(const Bytes& bytes, const char* what) : ByteView(bytes.data(), bytes.size(), what) {}

    std::size_t size() const { return size_; }
    const unsigned char* at(std::uint64_t offset, std::uint64_t count) const;
    std::uint16_t u16(std::uint64_t offset) const;
    std::uint32_t u32(std::uint64_t offset) const;
    Bytes copy(std::uint64_t offset, std::uint64_t count) const;
    // count little-endian UTF-16 units from offset.
    std::u16string utf16(std::uint64_t offset, std::uint64_t count) const;

private:
    const unsigned char* data_;
    std::size_t size_;
    const char* what_;
};

void putU16(Bytes& out, std::size_t offset, std::uint32_t value);
void putU32(Bytes& out, std::size_t offset, std::uint32_t value);
void appendU16(Bytes& out, std::uint32_t value);
void appendU32(Bytes& out, std::uint32_t value);
void appendUtf16(Bytes& out, const std::u16string& text);
// Appends zero bytes until the size is a multiple of alignment.
void padTo(Bytes& out, std::size_t alignment);

inline std::uint64_t alignUp(std::uint64_t value, std::uint64_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

std::string hex(std::uint64_t value);

// UTF-8 and UTF-16 for the texts of version information and the messages. A
// text that is not valid UTF-8 is refused with a FormatError naming `what`.
std::u16string utf16FromUtf8(const std::string& text, const std::string& what);
std::string utf8FromUtf16(const std::u16string& text);

} // namespace pe
