#include "Bytes.h"

namespace pe {

const unsigned char* ByteView::at(std::uint64_t offset, std::uint64_t count) const {
    require(fits(size_, offset, count), std::string(what_) + " ends before byte " +
                                            std::to_string(offset + count) + " (it has " +
                                            std::to_string(size_) + ")");
    return data_ + offset;
}

std::uint16_t ByteView::u16(std::uint64_t offset) const {
    const unsigned char* p = at(offset, 2);
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::uint32_t ByteView::u32(std::uint64_t offset) const {
    const unsigned char* p = at(offset, 4);
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

Bytes ByteView::copy(std::uint64_t offset, std::uint64_t count) const {
    const unsigned char* p = at(offset, count);
    return Bytes(p, p + count);
}

std::u16string ByteView::utf16(std::uint64_t offset, std::uint64_t count) const {
    const unsigned char* p = at(offset, count * 2);
    std::u16string text;
    for (std::uint64_t k = 0; k < count; ++k)
        text += static_cast<char16_t>(p[2 * k] | p[2 * k + 1] << 8);
    return text;
}

void putU16(Bytes& out, std::size_t offset, std::uint32_t value) {
    out.at(offset + 1);
    out[offset] = static_cast<unsigned char>(value);
    out[offset + 1] = static_cast<unsigned char>(value >> 8);
}

void putU32(Bytes& out, std::size_t offset, std::uint32_t value) {
    putU16(out, offset, value & 0xFFFF);
    putU16(out, offset + 2, value >> 16);
}

void appendU16(Bytes& out, std::uint32_t value) {
    out.push_back(static_cast<unsigned char>(value));
    out.push_back(static_cast<unsigned char>(value >> 8));
}

void appendU32(Bytes& out, std::uint32_t value) {
    appendU16(out, value & 0xFFFF);
    appendU16(out, value >> 16);
}

void appendUtf16(Bytes& out, const std::u16string& text) {
    for (char16_t c : text)
        appendU16(out, c);
}

void padTo(Bytes& out, std::size_t alignment) {
    while (out.size() % alignment != 0)
        out.push_back(0);
}

std::string hex(std::uint64_t value) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    do {
        text.insert(text.begin(), digits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    return "0x" + text;
}

std::u16string utf16FromUtf8(const std::string& text, const std::string& what) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        std::size_t length = lead < 0x80                   ? 1
                             : lead >= 0xC2 && lead < 0xE0 ? 2
                             : lead >= 0xE0 && lead < 0xF0 ? 3
                             : lead >= 0xF0 && lead < 0xF5 ? 4
                                                           : 0;
        require(length != 0 && i + length <= text.size(), what + " is not UTF-8 text");
        std::uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + k]);
            require((next & 0xC0) == 0x80, what + " is not UTF-8 text");
            code = code << 6 | (next & 0x3F);
        }
        // Overlong forms, surrogates and code points past Unicode's end.
        static const std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        require(code >= smallest[length] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF),
                what + " is not UTF-8 text");
        if (code >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
        i += length;
    }
    return out;
}

std::string utf8FromUtf16(const std::u16string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t code = text[i];
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000)
            code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
        else if (code >= 0xD800 && code < 0xE000)
            code = 0xFFFD; // a lone surrogate
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | code >> 6);
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | code >> 12);
            out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | code >> 18);
            out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

} // namespace pe
