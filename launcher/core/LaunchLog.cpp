#include "LaunchLog.h"

#include "BoundedText.h"
#include "ScopedHandle.h"
#include "SystemMessage.h"

#include <cstdarg>
#include <cstring>

namespace {

// Room for a whole command line of a VM and a few words.
constexpr std::size_t kLineSize = 2048;

UniqueFileHandle theLog;
char lastLine[kLineSize];

void appendFormatted(char* out, std::size_t size, const char* format, ...) {
    std::size_t used = std::strlen(out);
    std::va_list args;
    va_start(args, format);
    formatText(out + used, size - used, format, args);
    va_end(args);
}

// The last line, after the local time when stamped, as one line in UTF-8.
void writeLastLine(HANDLE file, bool stamped) {
    char line[kLineSize + 32] = {};
    if (stamped) {
        SYSTEMTIME now;
        GetLocalTime(&now);
        appendFormatted(line, sizeof line, "%04u-%02u-%02u %02u:%02u:%02u.%03u ", now.wYear,
                        now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
                        now.wMilliseconds);
    }
    appendFormatted(line, sizeof line, "%s\r\n", lastLine);
    // Before Windows 10 1903, and wherever the manifest's UTF-8 is not honoured,
    // the texts of the "A" functions are in the ANSI code page.
    const char* bytes = line;
    int length = static_cast<int>(std::strlen(line));
    wchar_t wide[sizeof line];
    char utf8[3 * sizeof line];
    if (GetACP() != CP_UTF8) {
        int units = MultiByteToWideChar(CP_ACP, 0, line, length, wide, sizeof line);
        length = WideCharToMultiByte(CP_UTF8, 0, wide, units, utf8, sizeof utf8, nullptr, nullptr);
        bytes = utf8;
    }
    DWORD written = 0;
    WriteFile(file, bytes, static_cast<DWORD>(length), &written, nullptr);
}

} // namespace

bool openLog(const char* path) {
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    // Appending only, so that every line and the installer's output land at the
    // end, whoever wrote last; shared, so that the log can be read meanwhile.
    theLog.reset(CreateFileA(path, FILE_APPEND_DATA,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inheritable,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(theLog);
}

HANDLE logFile() {
    return theLog ? theLog.get() : nullptr;
}

void describeError(DWORD error, char* out, std::size_t size) {
    char message[512];
    systemMessage(error, message, sizeof message);
    out[0] = '\0';
    appendFormatted(out, size, message[0] != '\0' ? "error %lu: %s" : "error %lu", error, message);
}

void logLine(DWORD error, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    formatText(lastLine, sizeof lastLine, format, args);
    va_end(args);
    if (error != 0) {
        char description[600];
        describeError(error, description, sizeof description);
        appendFormatted(lastLine, sizeof lastLine, " (%s)", description);
    }
    // One entry, one line: a text with line ends (the usage) is laid out flat.
    for (char* c = lastLine; *c != '\0'; ++c)
        if (*c == '\r' || *c == '\n')
            *c = ' ';
    if (theLog)
        writeLastLine(theLog.get(), true);
}

void sayLastLineOnStandardError() {
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (lastLine[0] != '\0' && error != nullptr && error != INVALID_HANDLE_VALUE)
        writeLastLine(error, false);
}
