//===- WinFile.h - A Win32 file handle that raises on failure -------------===//
#pragma once

#include "WindowsApi.h"

#include <cstdint>

class WinFile {
public:
    WinFile() = default;
    virtual ~WinFile();
    WinFile(const WinFile&) = delete;
    WinFile& operator=(const WinFile&) = delete;

    void openForReading(const char* path);
    void createForWriting(const char* path);
    void seek(std::int32_t distance, DWORD method);
    std::uint32_t tell();
    std::uint32_t size();
    void readByte(unsigned char& byte);
    void readUInt32(std::uint32_t& word);
    // Reads exactly count bytes: a read that ends early at the end of the file
    // raises ERROR_HANDLE_EOF, so that no caller mistakes stale bytes for data.
    void read(void* buffer, std::uint32_t count);
    // Like read, but reports a short read at the end of the file by its result
    // instead of raising; a failing call still raises.
    bool readAvailable(void* buffer, std::uint32_t count);
    void write(const void* buffer, std::uint32_t count);
    void close();

    HANDLE handle = nullptr;
};
