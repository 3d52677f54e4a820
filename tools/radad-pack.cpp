// radad-pack: appends payload records to a launcher, lists a launcher's payload
// and checks that the launcher will accept it.
//
//   radad-pack build <launcher.exe> -o <out.exe> RECORD...
//       RECORD is NAME=FILE (the file's bytes) or NAME:=TEXT (the text and a NUL)
//   radad-pack list <launcher.exe>
//   radad-pack check <launcher.exe>
#include "PayloadFormat.h"
#include "PayloadWriter.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

int usage() {
    std::fputs("usage: radad-pack build <launcher.exe> -o <out.exe> NAME=FILE|NAME:=TEXT ...\n"
               "       radad-pack list <launcher.exe>\n"
               "       radad-pack check <launcher.exe>\n",
               stderr);
    return 2;
}

bool readFile(const char* path, std::vector<unsigned char>& bytes) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr)
        return false;
    unsigned char buffer[65536];
    std::size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + count);
    bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

bool readOrComplain(const char* path, std::vector<unsigned char>& bytes) {
    if (readFile(path, bytes))
        return true;
    std::fprintf(stderr, "radad-pack: cannot read %s\n", path);
    return false;
}

bool writeFile(const char* path, const std::vector<unsigned char>& bytes) {
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr)
        return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

class ListSink : public payload::RecordSink {
public:
    void addRecord(const payload::RecordHeader& header) override { records.push_back(header); }
    std::vector<payload::RecordHeader> records;
};

struct Scan {
    bool hasTrailer = false;
    std::uint32_t trailer = 0;
    std::vector<payload::RecordHeader> records;
};

Scan scanPayload(const std::vector<unsigned char>& bytes) {
    Scan scan;
    if (bytes.size() < payload::kTrailerSize || bytes.size() > 0xFFFFFFFFu)
        return scan;
    scan.hasTrailer = true;
    scan.trailer = payload::decodeUInt32(&bytes[bytes.size() - payload::kTrailerSize]);
    payload::MemorySource source(bytes.data(), bytes.size());
    ListSink sink;
    payload::scanRecords(source, scan.trailer, static_cast<std::uint32_t>(bytes.size()), sink);
    scan.records = sink.records;
    return scan;
}

bool parseRecord(const char* argument, RecordInput& record) {
    const char* equals = std::strchr(argument, '=');
    if (equals == nullptr || equals == argument)
        return false;
    if (equals[-1] == ':') {
        record.name.assign(argument, equals - 1);
        const char* text = equals + 1;
        record.data.assign(text, text + std::strlen(text) + 1);
        return true;
    }
    record.name.assign(argument, equals);
    return readOrComplain(equals + 1, record.data);
}

int build(int argc, char** argv) {
    if (argc < 6 || std::strcmp(argv[3], "-o") != 0)
        return usage();
    const char* launcherPath = argv[2];
    const char* outPath = argv[4];
    std::vector<unsigned char> stub;
    if (!readOrComplain(launcherPath, stub))
        return 1;
    if (!scanPayload(stub).records.empty()) {
        std::fprintf(stderr, "radad-pack: %s carries a payload already\n", launcherPath);
        return 1;
    }
    std::vector<RecordInput> records;
    for (int i = 5; i < argc; ++i) {
        RecordInput record;
        if (!parseRecord(argv[i], record)) {
            std::fprintf(stderr, "radad-pack: cannot take record %s\n", argv[i]);
            return 1;
        }
        records.push_back(record);
    }
    std::vector<std::string> problems = validatePayload(stub.size(), records);
    for (const std::string& problem : problems)
        std::fprintf(stderr, "radad-pack: %s\n", problem.c_str());
    if (!problems.empty())
        return 1;
    if (!writeFile(outPath, appendPayload(stub, records))) {
        std::fprintf(stderr, "radad-pack: cannot write %s\n", outPath);
        return 1;
    }
    return 0;
}

int list(const char* path) {
    std::vector<unsigned char> bytes;
    if (!readOrComplain(path, bytes))
        return 1;
    Scan scan = scanPayload(bytes);
    std::printf("file size %zu\n", bytes.size());
    if (!scan.hasTrailer) {
        std::printf("no trailer\n");
        return 1;
    }
    std::printf("%-24s %10s %10s %12s\n", "stored name", "reserved", "length", "data offset");
    for (const payload::RecordHeader& record : scan.records)
        std::printf("qvx%-21s %10u %10u %12u\n", record.name, record.reserved, record.length,
                    record.dataOffset);
    std::printf("trailer %u\n", scan.trailer);
    return 0;
}

int check(const char* path) {
    std::vector<unsigned char> bytes;
    if (!readOrComplain(path, bytes))
        return 1;
    Scan scan = scanPayload(bytes);
    std::vector<std::string> problems;
    const auto& records = scan.records;
    if (!payload::isAcceptableLayout(records.size() > 0 ? records[0].name : nullptr,
                                     records.size() > 1 ? records[1].name : nullptr,
                                     records.size() > 2))
        problems.push_back("the payload does not begin with CommandLine, URL and an installer");
    payload::MemorySource source(bytes.data(), bytes.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        char text[payload::kTextBufferSize];
        if (i < 2 && !payload::readRecordText(source, records[i].dataOffset, text))
            problems.push_back(std::string("record ") + records[i].name +
                               ": no NUL within its first 260 bytes");
        if (records[i].reserved != 0)
            problems.push_back(std::string("record ") + records[i].name +
                               ": reserved word is not 0, it cannot be extracted");
    }
    if (!records.empty() &&
        records.back().dataOffset + records.back().length + payload::kTrailerSize != bytes.size())
        problems.push_back("the records do not end at the trailer");
    for (const std::string& problem : problems)
        std::printf("%s\n", problem.c_str());
    if (problems.empty())
        std::printf("ok: %zu records\n", records.size());
    return problems.empty() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "build") == 0)
        return build(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "list") == 0)
        return list(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "check") == 0)
        return check(argv[2]);
    return usage();
}
