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

    // The record's text, up to its first NUL, and whether there was one within
    // the buffer. Fails when the data cannot be reached or read.
    CException readText(WinFile& file, char (&out)[payload::kTextBufferSize],
                        bool& terminated) const;

    // Writes the record's data to a file at path, creating or replacing it.
    // Fails when the record cannot be extracted, the data cannot be reached, the
    // target cannot be created, or a read or write fails on the way.
    CException extractTo(WinFile& file, const char* path) const;

    // extractTo under the record's own name in directory; the record then
    // remembers that this run wrote the file, so that deleteFrom may remove it.
    CException extractInto(WinFile& file, const char* directory);

    // Removes the file of the record's name from directory, but only when this
    // run wrote it there: a file of that name that another program put into the
    // directory is not ours to delete.
    void deleteFrom(const char* directory) const;

    char name[payload::kMaxNameLength + 1];
    std::uint32_t reserved;
    std::uint32_t length;
    std::uint32_t dataOffset;

private:
    CException extract(WinFile& file, const char* path, bool& created) const;

    bool writtenByThisRun = false;
};

class Payload {
public:
    Payload() = default;
    virtual ~Payload() = default;
    Payload(const Payload&) = delete;
    Payload& operator=(const Payload&) = delete;

    // Opens the executable of module and fills the table. Fails when the file
    // cannot be opened or its trailer not read; ends quietly at anything else.
    CException scan(HMODULE module);
    void closeFile() { file.close(); }
    void deleteAll(const char* directory, std::size_t firstSlot);
    // Stops at the first record that cannot be written, leaving the later ones.
    CException extractAll(const char* directory, std::size_t firstSlot);

    PayloadRecord* record(std::size_t slot) const {
        return slot < payload::kMaxRecords ? records[slot].get() : nullptr;
    }

    std::unique_ptr<PayloadRecord> records[payload::kMaxRecords];
    WinFile file;
};

// Copies count bytes from source to target through a buffer of its own. Fails
// when the buffer cannot be had, a read or write fails, or the source ends
// before count bytes.
CException copyData(WinFile& source, WinFile& target, std::uint32_t count);
