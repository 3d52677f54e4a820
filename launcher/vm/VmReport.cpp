#include "VmReport.h"

#include "BoundedText.h"

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
