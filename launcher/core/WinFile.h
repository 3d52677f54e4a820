//===- WinFile.h - A Win32 file handle whose calls report their failure ---===//
#pragma once

#include "CException.h"
#include "WindowsApi.h"

#include <cstdint>

class WinFile {
public:
    WinFile() = default;
    virtual ~WinFile();
    WinFile(const WinFile&) = delete;
    WinFile& operator=(const WinFile&) = delete;

    CException openForReading(const char* path);
    CException createForWriting(const char* path);
    CException seek(std::int32_t distance, DWORD method);
    std::uint32_t tell();
    std::uint32_t size();
    CException readByte(unsigned char& byte);
    CException readUInt32(std::uint32_t& word);
    // Reads exactly count bytes: a read that ends early at the end of the file
    // fails with ERROR_HANDLE_EOF, so that no caller mistakes stale bytes for data.
    CException read(void* buffer, std::uint32_t count);
    // Like read, but a short read at the end of the file only leaves complete
    // false instead of failing; a failing call still fails.
    CException readAvailable(void* buffer, std::uint32_t count, bool& complete);
    CException write(const void* buffer, std::uint32_t count);
    void close();

    HANDLE handle = nullptr;
};
