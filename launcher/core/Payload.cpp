#include "Payload.h"

#include "BoundedText.h"
#include "CException.h"
#include "Path.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace {

// Lets the shared reader see the launcher's executable. Failed calls raise, and
// the reader lets the exception through to the scan.
class WinFileSource : public payload::PayloadSource {
public:
    explicit WinFileSource(WinFile& file) : file_(file) {}

    bool seek(std::uint32_t offset) override {
        if (offset > 0x7FFFFFFFu)
            return false;
        file_.seek(static_cast<std::int32_t>(offset), FILE_BEGIN);
        return true;
    }
    bool read(void* buffer, std::uint32_t count) override {
        return file_.readAvailable(buffer, count);
    }

private:
    WinFile& file_;
};

class TableSink : public payload::RecordSink {
public:
    explicit TableSink(Payload& table) : table_(table) {}

    void addRecord(const payload::RecordHeader& header) override {
        if (next_ >= payload::kMaxRecords)
            return;
        // A record that cannot be allocated is left out rather than leaving a gap.
        if (PayloadRecord* record = new (std::nothrow) PayloadRecord(header))
            table_.records[next_++].reset(record);
    }

private:
    Payload& table_;
    std::size_t next_ = 0;
};

// The copy buffer; its size keeps each transfer below 32 KiB.
constexpr std::uint32_t kCopyBufferSize = 32000;

} // namespace

PayloadRecord::PayloadRecord(const payload::RecordHeader& header)
    : reserved(header.reserved), length(header.length), dataOffset(header.dataOffset) {
    std::memcpy(name, header.name, sizeof name);
    name[sizeof name - 1] = '\0';
}

bool PayloadRecord::readText(WinFile& file, char (&out)[payload::kTextBufferSize]) const {
    WinFileSource source(file);
    return payload::readRecordText(source, dataOffset, out);
}

void PayloadRecord::extractTo(WinFile& file, const char* path) const {
    bool created = false;
    extract(file, path, created);
}

void PayloadRecord::extract(WinFile& file, const char* path, bool& created) const {
    // Refused before the target is touched, so that an existing file of that
    // name keeps its content.
    if (reserved != 0)
        throwWin32Error(ERROR_INVALID_DATA);
    if (dataOffset > 0x7FFFFFFFu)
        throwWin32Error(ERROR_NEGATIVE_SEEK);
    file.seek(static_cast<std::int32_t>(dataOffset), FILE_BEGIN);
    WinFile target;
    target.createForWriting(path);
    created = true;
    try {
        copyData(file, target, length);
    } catch (CException*) {
        // A shortened copy is worse than none: nobody may take it for the record.
        target.close();
        DeleteFileA(path);
        throw;
    }
}

void PayloadRecord::extractInto(WinFile& file, const char* directory) {
    if (!isPlainFileName(name))
        throwWin32Error(ERROR_INVALID_NAME);
    char path[kMaxPath];
    if (!copyText(path, directory) || !joinPath(path, name))
        throwWin32Error(ERROR_FILENAME_EXCED_RANGE);
    bool created = false;
    try {
        extract(file, path, created);
    } catch (CException*) {
        writtenByThisRun = writtenByThisRun || created;
        throw;
    }
    writtenByThisRun = true;
}

void PayloadRecord::deleteFrom(const char* directory) const {
    if (!writtenByThisRun || !isPlainFileName(name))
        return;
    char path[kMaxPath];
    if (copyText(path, directory) && joinPath(path, name))
        std::remove(path);
}

void Payload::scan(HMODULE module) {
    char path[kMaxPath] = {};
    DWORD length = GetModuleFileNameA(module, path, sizeof path);
    if (length == 0 || length >= sizeof path)
        throwWin32Error(length == 0 ? GetLastError() : ERROR_FILENAME_EXCED_RANGE);

    file.openForReading(path);
    WinFileSource source(file);
    // A signature's certificate table may follow the payload; the headers say
    // where the payload ends. A failed read of the headers or the trailer raises.
    payload::PayloadLocation location = payload::locatePayload(source, file.size());
    if (!location.hasTrailer)
        throwWin32Error(ERROR_HANDLE_EOF);

    TableSink sink(*this);
    try {
        payload::scanRecords(source, location.start, location.end, sink);
    } catch (CException* failure) {
        delete failure;
    }
}

void Payload::deleteAll(const char* directory, std::size_t firstSlot) {
    for (std::size_t slot = firstSlot; slot < payload::kMaxRecords && records[slot]; ++slot)
        records[slot]->deleteFrom(directory);
}

void Payload::extractAll(const char* directory, std::size_t firstSlot) {
    for (std::size_t slot = firstSlot; slot < payload::kMaxRecords && records[slot]; ++slot)
        records[slot]->extractInto(file, directory);
}

void copyData(WinFile& source, WinFile& target, std::uint32_t count) {
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kCopyBufferSize]);
    if (!buffer)
        throwWin32Error(ERROR_NOT_ENOUGH_MEMORY);
    while (count > 0) {
        std::uint32_t chunk = count < kCopyBufferSize ? count : kCopyBufferSize;
        source.read(buffer.get(), chunk);
        target.write(buffer.get(), chunk);
        count -= chunk;
    }
}
