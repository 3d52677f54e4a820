//===- ServiceLogWin32.cpp - The service's log file ----------------------===//
#include "ServiceLogWin32.h"

#include "ImagePath.h"
#include "ServiceConfig.h"
#include "win32/SystemMessage.h"

#include <cstring>

namespace {
constexpr std::uint32_t kDefaultLogLimit = 10 * 1024 * 1024;
constexpr char kRotatedSuffix[] = ".1";

enum class Rotation { NotNeeded, Done, Failed };

// A folder is never renamed: the file cannot be opened then, and the service
// runs without a log.
Rotation rotate(const char* path, std::uint32_t limit, char (&rotated)[kTextSize], DWORD& error) {
    WIN32_FILE_ATTRIBUTE_DATA found;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &found) ||
        (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
        (found.nFileSizeHigh == 0 && found.nFileSizeLow <= limit))
        return Rotation::NotNeeded;
    const std::size_t length = std::strlen(path);
    if (length + sizeof kRotatedSuffix > sizeof rotated) {
        error = ERROR_FILENAME_EXCED_RANGE;
        return Rotation::Failed;
    }
    std::memcpy(rotated, path, length);
    std::memcpy(rotated + length, kRotatedSuffix, sizeof kRotatedSuffix);
    if (!MoveFileExA(path, rotated, MOVEFILE_REPLACE_EXISTING)) {
        error = GetLastError();
        return Rotation::Failed;
    }
    return Rotation::Done;
}
} // namespace

void ServiceLog::open() {
    char value[kTextSize];
    if (!readOptionalPath(kLogFileValue, value))
        return;
    char directory[kTextSize] = "";
    readServiceValue(kImageDirValue, directory);
    char path[kTextSize];
    if (!pathFromDirectory(directory, value, path, sizeof path))
        return;

    std::uint32_t limit = kDefaultLogLimit;
    const OptionalValue limitFound = readOptionalNumber(kLogLimitValue, limit);
    char rotated[kTextSize] = "";
    DWORD rotationError = 0;
    const Rotation rotation = rotate(path, limit, rotated, rotationError);

    // Appending only: every write of the service and of its commands lands at
    // the end, whoever wrote last. Shared for deletion too, so that the file
    // can still be renamed while a server left running from an earlier start
    // holds it.
    file_.reset(CreateFileA(path, FILE_APPEND_DATA,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    write("service started");
    if (limitFound == OptionalValue::WrongType)
        write("LogLimit is not a REG_DWORD: ", limit, " bytes used");
    if (rotation != Rotation::NotNeeded) {
        LogLine line = ServiceLog::line();
        line.text("the log was over ").number(limit).text(" bytes: ");
        if (rotation == Rotation::Done) {
            line.text("renamed to ").text(rotated);
        } else {
            appendError(line.text("it could not be renamed"), rotationError);
        }
        write(line);
    }
}

LogLine ServiceLog::line() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return LogLine(LocalTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
                             now.wMilliseconds});
}

void ServiceLog::appendError(LogLine& line, DWORD error) {
    line.text(" (error ").number(error);
    // A message in UTF-8 takes two bytes for each letter of most alphabets.
    char message[512];
    systemMessage(error, message, sizeof message);
    if (message[0] != '\0')
        line.text(": ").text(message);
    line.text(")");
}

void ServiceLog::write(const LogLine& line) {
    if (!file_)
        return;
    DWORD written = 0;
    WriteFile(file_.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

void ServiceLog::write(const char* message) {
    if (!file_)
        return;
    LogLine line = ServiceLog::line();
    line.text(message);
    write(line);
}

void ServiceLog::write(const char* before, std::uint32_t number, const char* after) {
    if (!file_)
        return;
    LogLine line = ServiceLog::line();
    line.text(before).number(number).text(after);
    write(line);
}

UniqueHandle ServiceLog::inheritableCopy() const {
    HANDLE copy = nullptr;
    if (!file_ || !DuplicateHandle(GetCurrentProcess(), file_.get(), GetCurrentProcess(), &copy, 0,
                                   TRUE, DUPLICATE_SAME_ACCESS))
        return UniqueHandle();
    return UniqueHandle(copy);
}
