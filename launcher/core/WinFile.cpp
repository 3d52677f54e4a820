#include "WinFile.h"

#include "CException.h"

namespace {

[[noreturn]] void raiseLastError() {
    throwWin32Error(GetLastError());
}

HANDLE openFile(const char* path, DWORD access, DWORD share, DWORD disposition) {
    HANDLE handle =
        CreateFileA(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        raiseLastError();
    return handle;
}

} // namespace

WinFile::~WinFile() {
    close();
}

void WinFile::openForReading(const char* path) {
    close();
    handle = openFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
}

void WinFile::createForWriting(const char* path) {
    close();
    handle = openFile(path, GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
}

void WinFile::seek(std::int32_t distance, DWORD method) {
    if (SetFilePointer(handle, distance, nullptr, method) == INVALID_SET_FILE_POINTER)
        raiseLastError();
}

std::uint32_t WinFile::tell() {
    return SetFilePointer(handle, 0, nullptr, FILE_CURRENT);
}

std::uint32_t WinFile::size() {
    return GetFileSize(handle, nullptr);
}

void WinFile::readByte(unsigned char& byte) {
    read(&byte, 1);
}

// The word is stored as the processor stores it: little-endian on every target.
void WinFile::readUInt32(std::uint32_t& word) {
    read(&word, sizeof word);
}

bool WinFile::readAvailable(void* buffer, std::uint32_t count) {
    DWORD done = 0;
    if (!ReadFile(handle, buffer, count, &done, nullptr))
        raiseLastError();
    return done == count;
}

void WinFile::read(void* buffer, std::uint32_t count) {
    if (!readAvailable(buffer, count))
        throwWin32Error(ERROR_HANDLE_EOF);
}

void WinFile::write(const void* buffer, std::uint32_t count) {
    DWORD done = 0;
    if (!WriteFile(handle, buffer, count, &done, nullptr))
        raiseLastError();
    if (done != count)
        throwWin32Error(ERROR_WRITE_FAULT);
}

void WinFile::close() {
    if (handle != nullptr) {
        CloseHandle(handle);
        handle = nullptr;
    }
}
