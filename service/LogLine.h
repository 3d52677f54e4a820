//===- LogLine.h - One line of the service's log -------------------------===//
//
// When "LogFile" names a file, the service appends a line for each thing it
// does or sees, and its commands write their output into the same file. Each
// line starts with the local date and time to the millisecond and ends with
// CR LF. A line is built whole in a fixed buffer and written with one call, so
// that it is never cut into by the output of the commands.
//
//===----------------------------------------------------------------------===//
#pragma once

#include <cstddef>
#include <cstdint>

struct LocalTime {
    unsigned year;
    unsigned month;
    unsigned day;
    unsigned hour;
    unsigned minute;
    unsigned second;
    unsigned millisecond;
};

class LogLine {
public:
    // Room for the time, a few words and a whole command or path of the
    // service's texts (kTextSize), which UTF-8 may make some 780 bytes long.
    static constexpr std::size_t kCapacity = 1024;

    explicit LogLine(const LocalTime& time);
    // A line without the time, as the control operations write to standard error.
    LogLine() {
        bytes_[0] = '\r';
        bytes_[1] = '\n';
    }

    // CR and LF become blanks, so that one entry stays one line; what does not
    // fit the line is cut, and the line end is kept.
    LogLine& text(const char* text);
    LogLine& number(std::uint32_t number);
    // Exit codes from 0x10000 on are status codes such as 0xC0000005, shown in hex.
    LogLine& exitCode(std::uint32_t code);
    // Whole seconds as "10 s", anything else as "2500 ms".
    LogLine& duration(std::uint32_t milliseconds);

    // The line, CR LF included.
    const char* data() const { return bytes_; }
    std::size_t size() const { return length_ + 2; }

private:
    void put(char c);
    void putDigits(std::uint32_t value, unsigned base, unsigned width);

    char bytes_[kCapacity];
    std::size_t length_ = 0; // without the line end
};
