//===- Payload.h - The payload table of the launcher's own executable -----===//
#pragma once

#include "PayloadFormat.h"
#include "WinFile.h"

#include <cstdint>
#include <memory>

class PayloadRecord {
public:
    explicit PayloadRecord(const payload::RecordHeader& header);
    virtual ~PayloadRecord() = default;

    // The record's text, up to its first NUL. Raises when the data cannot be
    // reached or read; false when there is no NUL within the buffer.
    bool readText(WinFile& file, char (&out)[payload::kTextBufferSize]) const;

    // Writes the record's data to a file at path, creating or replacing it.
    // Raises when the record cannot be extracted, the data cannot be reached,
    // the target cannot be created, or a read or write fails on the way.
    void extractTo(WinFile& file, const char* path) const;

    // extractTo under the record's own name in directory; the record then
    // remembers that this run wrote the file, so that deleteFrom may remove it.
    void extractInto(WinFile& file, const char* directory);

    // Removes the file of the record's name from directory, but only when this
    // run wrote it there: a file of that name that another program put into the
    // directory is not ours to delete.
    void deleteFrom(const char* directory) const;

    char name[payload::kMaxNameLength + 1];
    std::uint32_t reserved;
    std::uint32_t length;
    std::uint32_t dataOffset;

private:
    void extract(WinFile& file, const char* path, bool& created) const;

    bool writtenByThisRun = false;
};

class Payload {
public:
    Payload() = default;
    virtual ~Payload() = default;
    Payload(const Payload&) = delete;
    Payload& operator=(const Payload&) = delete;

    // Opens the executable of module and fills the table. Raises when the file
    // cannot be opened or its trailer not read; ends quietly at anything else.
    void scan(HMODULE module);
    void closeFile() { file.close(); }
    void deleteAll(const char* directory, std::size_t firstSlot);
    void extractAll(const char* directory, std::size_t firstSlot);

    PayloadRecord* record(std::size_t slot) const {
        return slot < payload::kMaxRecords ? records[slot].get() : nullptr;
    }

    std::unique_ptr<PayloadRecord> records[payload::kMaxRecords];
    WinFile file;
};

// Copies count bytes from source to target through a 32000-byte buffer. Raises
// when a read or write fails, or the source ends before count bytes.
void copyData(WinFile& source, WinFile& target, std::uint32_t count);
