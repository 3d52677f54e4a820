#include "Payload.h"

#include "BoundedText.h"
#include "Path.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace {

// Lets the shared reader see the launcher's executable. A failing call answers
// false, as the end of the data does, and the first failure is kept, so that
// whoever asked can tell the two apart.
class WinFileSource : public payload::PayloadSource {
public:
    explicit WinFileSource(WinFile& file) : file_(file) {}

    bool seek(std::uint32_t offset) override {
        return offset <= 0x7FFFFFFFu &&
               succeeded(file_.seek(static_cast<std::int32_t>(offset), FILE_BEGIN));
    }
    bool read(void* buffer, std::uint32_t count) override {
        bool complete = false;
        return succeeded(file_.readAvailable(buffer, count, complete)) && complete;
    }

    CException failure;

private:
    bool succeeded(CException result) {
        if (result && !failure)
            failure = result;
        return !result;
    }

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

// The copy buffer, chosen by measurement (scripts/bench.sh): a whole number of
// pages, so that every write but the last ends on a page of the target, and
// small enough to stay in the processor's cache. 32000 bytes took twice as long
// as CopyFileA; from 1 MiB on, copies grow slower again.
constexpr std::uint32_t kCopyBufferSize = 256 * 1024;

} // namespace

PayloadRecord::PayloadRecord(const payload::RecordHeader& header)
    : reserved(header.reserved), length(header.length), dataOffset(header.dataOffset) {
    std::memcpy(name, header.name, sizeof name);
    name[sizeof name - 1] = '\0';
}

CException PayloadRecord::readText(WinFile& file, char (&out)[payload::kTextBufferSize],
                                   bool& terminated) const {
    WinFileSource source(file);
    terminated = payload::readRecordText(source, dataOffset, out);
    return source.failure;
}

CException PayloadRecord::extractTo(WinFile& file, const char* path) const {
    bool created = false;
    return extract(file, path, created);
}

CException PayloadRecord::extract(WinFile& file, const char* path, bool& created) const {
    // Refused before the target is touched, so that an existing file of that
    // name keeps its content.
    if (reserved != 0)
        return CException(ERROR_INVALID_DATA);
    if (dataOffset > 0x7FFFFFFFu)
        return CException(ERROR_NEGATIVE_SEEK);
    if (CException failure = file.seek(static_cast<std::int32_t>(dataOffset), FILE_BEGIN))
        return failure;
    WinFile target;
    if (CException failure = target.createForWriting(path))
        return failure;
    created = true;
    CException failure = copyData(file, target, length);
    if (failure) {
        // A shortened copy is worse than none: nobody may take it for the record.
        target.close();
        DeleteFileA(path);
    }
    return failure;
}

CException PayloadRecord::extractInto(WinFile& file, const char* directory) {
    if (!isPlainFileName(name))
        return CException(ERROR_INVALID_NAME);
    char path[kMaxPath];
    if (!copyText(path, directory) || !joinPath(path, name))
        return CException(ERROR_FILENAME_EXCED_RANGE);
    bool created = false;
    CException failure = extract(file, path, created);
    writtenByThisRun = writtenByThisRun || created;
    return failure;
}

void PayloadRecord::deleteFrom(const char* directory) const {
    if (!writtenByThisRun || !isPlainFileName(name))
        return;
    char path[kMaxPath];
    if (copyText(path, directory) && joinPath(path, name))
        std::remove(path);
}

CException Payload::scan(HMODULE module) {
    char path[kMaxPath] = {};
    DWORD length = GetModuleFileNameA(module, path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return CException(length == 0 ? GetLastError() : ERROR_FILENAME_EXCED_RANGE);

    if (CException failure = file.openForReading(path))
        return failure;
    WinFileSource source(file);
    // A signature's certificate table may follow the payload; the headers say
    // where the payload ends. A failed read of the headers or the trailer fails
    // the scan.
    payload::PayloadLocation location = payload::locatePayload(source, file.size());
    if (source.failure)
        return source.failure;
    if (!location.hasTrailer)
        return CException(ERROR_HANDLE_EOF);

    // A failed read among the records ends the table where it is.
    TableSink sink(*this);
    payload::scanRecords(source, location.start, location.end, sink);
    return {};
}

void Payload::deleteAll(const char* directory, std::size_t firstSlot) {
    for (std::size_t slot = firstSlot; slot < payload::kMaxRecords && records[slot]; ++slot)
        records[slot]->deleteFrom(directory);
}

CException Payload::extractAll(const char* directory, std::size_t firstSlot) {
    for (std::size_t slot = firstSlot; slot < payload::kMaxRecords && records[slot]; ++slot)
        if (CException failure = records[slot]->extractInto(file, directory))
            return failure;
    return {};
}

CException copyData(WinFile& source, WinFile& target, std::uint32_t count) {
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kCopyBufferSize]);
    if (!buffer)
        return CException(ERROR_NOT_ENOUGH_MEMORY);
    while (count > 0) {
        std::uint32_t chunk = count < kCopyBufferSize ? count : kCopyBufferSize;
        if (CException failure = source.read(buffer.get(), chunk))
            return failure;
        if (CException failure = target.write(buffer.get(), chunk))
            return failure;
        count -= chunk;
    }
    return {};
}
