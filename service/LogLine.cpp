//===- LogLine.cpp - One line of the service's log -----------------------===//
#include "LogLine.h"

LogLine::LogLine(const LocalTime& time) {
    const struct {
        unsigned value;
        unsigned width;
        char after;
    } fields[] = {{time.year, 4, '-'},       {time.month, 2, '-'},  {time.day, 2, ' '},
                  {time.hour, 2, ':'},       {time.minute, 2, ':'}, {time.second, 2, '.'},
                  {time.millisecond, 3, ' '}};
    for (const auto& field : fields) {
        putDigits(field.value, 10, field.width);
        put(field.after);
    }
}

LogLine& LogLine::text(const char* text) {
    for (; *text != '\0'; ++text)
        put(*text == '\r' || *text == '\n' ? ' ' : *text);
    return *this;
}

LogLine& LogLine::number(std::uint32_t number) {
    putDigits(number, 10, 1);
    return *this;
}

LogLine& LogLine::exitCode(std::uint32_t code) {
    if (code < 0x10000)
        return number(code);
    text("0x");
    putDigits(code, 16, 8);
    return *this;
}

LogLine& LogLine::duration(std::uint32_t milliseconds) {
    if (milliseconds % 1000 == 0)
        return number(milliseconds / 1000).text(" s");
    return number(milliseconds).text(" ms");
}

void LogLine::put(char c) {
    if (length_ + 2 >= kCapacity)
        return;
    bytes_[length_++] = c;
    bytes_[length_] = '\r';
    bytes_[length_ + 1] = '\n';
}

void LogLine::putDigits(std::uint32_t value, unsigned base, unsigned width) {
    char digits[10];
    unsigned count = 0;
    do {
        digits[count++] = "0123456789ABCDEF"[value % base];
        value /= base;
    } while (value != 0);
    for (; width > count; --width)
        put('0');
    while (count > 0)
        put(digits[--count]);
}
