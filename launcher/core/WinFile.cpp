#include "WinFile.h"

namespace {

CException lastError() {
    return CException(GetLastError());
}

CException openFile(HANDLE& handle, const char* path, DWORD access, DWORD share,
                    DWORD disposition) {
    HANDLE opened =
        CreateFileA(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE)
        return lastError();
    handle = opened;
    return {};
}

} // namespace

WinFile::~WinFile() {
    close();
}

CException WinFile::openForReading(const char* path) {
    close();
    return openFile(handle, path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
}

CException WinFile::createForWriting(const char* path) {
    close();
    return openFile(handle, path, GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
}

CException WinFile::seek(std::int32_t distance, DWORD method) {
    if (SetFilePointer(handle, distance, nullptr, method) == INVALID_SET_FILE_POINTER)
        return lastError();
    return {};
}

std::uint32_t WinFile::tell() {
    return SetFilePointer(handle, 0, nullptr, FILE_CURRENT);
}

std::uint32_t WinFile::size() {
    return GetFileSize(handle, nullptr);
}

CException WinFile::readByte(unsigned char& byte) {
    return read(&byte, 1);
}

// The word is stored as the processor stores it: little-endian on every target.
CException WinFile::readUInt32(std::uint32_t& word) {
    return read(&word, sizeof word);
}

CException WinFile::readAvailable(void* buffer, std::uint32_t count, bool& complete) {
    DWORD done = 0;
    if (!ReadFile(handle, buffer, count, &done, nullptr))
        return lastError();
    complete = done == count;
    return {};
}

CException WinFile::read(void* buffer, std::uint32_t count) {
    bool complete = false;
    CException failure = readAvailable(buffer, count, complete);
    if (!failure && !complete)
        return CException(ERROR_HANDLE_EOF);
    return failure;
}

CException WinFile::write(const void* buffer, std::uint32_t count) {
    DWORD done = 0;
    if (!WriteFile(handle, buffer, count, &done, nullptr))
        return lastError();
    if (done != count)
        return CException(ERROR_WRITE_FAULT);
    return {};
}

void WinFile::close() {
    if (handle != nullptr) {
        CloseHandle(handle);
        handle = nullptr;
    }
}
