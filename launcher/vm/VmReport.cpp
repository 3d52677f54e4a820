#include "VmReport.h"

#include "BoundedText.h"

#include <cstring>

bool formatReport(const ReportEntry* entries, std::size_t count, char* out, std::size_t size) {
    if (size == 0)
        return false;
    char number[24];
    std::size_t digits = 0;
    std::size_t rest = count;
    do {
        number[sizeof number - 2 - digits++] = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    number[sizeof number - 1] = '\0';

    out[0] = '\0';
    bool fits =
        appendText(out, size, number + sizeof number - 1 - digits) && appendText(out, size, "\n");
    for (std::size_t i = 0; fits && i < count; ++i)
        fits = appendText(out, size, entries[i].qualified ? "YES " : "NO ") &&
               appendText(out, size, entries[i].path) && appendText(out, size, "\n");
    if (!fits)
        out[0] = '\0';
    return fits;
}

bool formatFoundVms(const ReportEntry* entries, std::size_t count, char* out, std::size_t size) {
    if (size == 0)
        return false;
    out[0] = '\0';
    bool fits = true;
    for (std::size_t i = 0; fits && i < count; ++i) {
        const bool known = entries[i].version != nullptr && entries[i].version[0] != '\0';
        fits = appendText(out, size, entries[i].path) &&
               appendText(out, size, known ? ": Java " : ": version unknown") &&
               appendText(out, size, known ? entries[i].version : "") &&
               appendText(out, size, "\r\n");
    }
    if (!fits)
        out[0] = '\0';
    return fits;
}

bool probeVersion(const char* output, std::size_t length, char* version, std::size_t size) {
    const void* firstEnd = std::memchr(output, '\n', length);
    const char* line =
        firstEnd != nullptr ? static_cast<const char*>(firstEnd) + 1 : output + length;
    const char* end = output + length;
    std::size_t used = 0;
    while (line + used < end && line[used] >= ' ' && line[used] <= '~')
        ++used;
    const bool whole = line + used < end && (line[used] == '\r' || line[used] == '\n');
    if (size == 0)
        return false;
    if (!whole || used == 0 || used >= size) {
        version[0] = '\0';
        return false;
    }
    std::memcpy(version, line, used);
    version[used] = '\0';
    return true;
}
