// radad-pack: appends payload records to a launcher, lists a launcher's payload
// and checks that the launcher will accept it. Launchers are signed after the
// payload is built; list and check read a signed launcher as radad does, with
// the payload ending where the certificate table begins.
//
//   radad-pack build <launcher.exe> -o <out.exe> RECORD...
//       RECORD is NAME=FILE (the file's bytes) or NAME:=TEXT (the text and a NUL)
//   radad-pack list <launcher.exe>
//   radad-pack check <launcher.exe>
//   radad-pack --version
#include "Path.h"
#include "PayloadFormat.h"
#include "PayloadWriter.h"
#include "ProjectVersion.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

int usage() {
    std::fputs("usage: radad-pack build <launcher.exe> -o <out.exe> NAME=FILE|NAME:=TEXT ...\n"
               "       radad-pack list <launcher.exe>\n"
               "       radad-pack check <launcher.exe>\n"
               "       radad-pack --version\n",
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

// The records of a payload whose first record is at start and whose trailer
// ends at end.
std::vector<payload::RecordHeader> readRecords(const std::vector<unsigned char>& bytes,
                                               std::uint32_t start, std::uint32_t end) {
    payload::MemorySource source(bytes.data(), bytes.size());
    ListSink sink;
    payload::scanRecords(source, start, end, sink);
    return sink.records;
}

// What the launcher finds in a file: where its payload ends, the trailer, and
// the records.
struct Scan {
    payload::PayloadLocation location;
    std::vector<payload::RecordHeader> records;
};

Scan scanPayload(const std::vector<unsigned char>& bytes) {
    Scan scan;
    if (bytes.size() > 0xFFFFFFFFu)
        return scan;
    payload::MemorySource source(bytes.data(), bytes.size());
    scan.location = payload::locatePayload(source, static_cast<std::uint32_t>(bytes.size()));
    if (scan.location.hasTrailer)
        scan.records = readRecords(bytes, scan.location.start, scan.location.end);
    return scan;
}

bool isAcceptable(const std::vector<payload::RecordHeader>& records) {
    return payload::isAcceptableLayout(records.size() > 0 ? records[0].name : nullptr,
                                       records.size() > 1 ? records[1].name : nullptr,
                                       records.size() > 2);
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
    Scan scan = scanPayload(stub);
    if (scan.location.certificate.state != payload::CertificateState::absent) {
        std::fprintf(stderr,
                     "radad-pack: %s is signed already; signing comes last: build the payload "
                     "into the unsigned launcher, then sign the output\n",
                     launcherPath);
        return 1;
    }
    if (!scan.records.empty()) {
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

// The end of the records: where the trailer or the padding before it begins.
std::uint32_t recordsEnd(const Scan& scan) {
    const payload::RecordHeader& last = scan.records.back();
    return last.dataOffset + last.length;
}

std::string describeCertificate(const payload::CertificateTable& table) {
    std::string text = "certificate table at " + std::to_string(table.offset) + ", " +
                       std::to_string(table.size) + " bytes";
    if (table.state == payload::CertificateState::ignored)
        text += std::string(", ignored: it ") + table.whyIgnored + "; the file reads as unsigned";
    return text;
}

int list(const char* path) {
    std::vector<unsigned char> bytes;
    if (!readOrComplain(path, bytes))
        return 1;
    Scan scan = scanPayload(bytes);
    std::printf("file size %zu\n", bytes.size());
    if (!scan.location.hasTrailer) {
        std::printf("no trailer\n");
        return 1;
    }
    std::printf("%-24s %10s %10s %12s\n", "stored name", "reserved", "length", "data offset");
    for (const payload::RecordHeader& record : scan.records)
        std::printf("qvx%-21s %10u %10u %12u\n", record.name, record.reserved, record.length,
                    record.dataOffset);
    const std::uint32_t trailerAt = scan.location.end - payload::kTrailerSize;
    if (!scan.records.empty() && recordsEnd(scan) < trailerAt)
        std::printf("padding %u bytes\n", trailerAt - recordsEnd(scan));
    std::printf("trailer %u at %u\n", scan.location.start, trailerAt);
    if (scan.location.certificate.state != payload::CertificateState::absent)
        std::printf("%s\n", describeCertificate(scan.location.certificate).c_str());
    return 0;
}

bool allZero(const std::vector<unsigned char>& bytes, std::uint32_t from, std::uint32_t to) {
    for (std::uint32_t i = from; i < to; ++i)
        if (bytes[i] != 0)
            return false;
    return true;
}

// A launcher signed without being built to a multiple of 8 bytes: signing put
// zero bytes between its trailer and the certificate table. The count of them,
// when a trailer right before them gives an acceptable payload; 0 otherwise.
std::uint32_t paddingBeforeCertificate(const std::vector<unsigned char>& bytes, const Scan& scan) {
    if (scan.location.certificate.state != payload::CertificateState::present)
        return 0;
    const std::uint32_t end = scan.location.end;
    for (std::uint32_t padding = 1; padding < kSigningAlignment; ++padding) {
        if (end < padding + payload::kTrailerSize || !allZero(bytes, end - padding, end))
            break;
        const std::uint32_t trailerEnd = end - padding;
        std::uint32_t start = payload::decodeUInt32(&bytes[trailerEnd - payload::kTrailerSize]);
        if (isAcceptable(readRecords(bytes, start, trailerEnd)))
            return padding;
    }
    return 0;
}

int check(const char* path) {
    std::vector<unsigned char> bytes;
    if (!readOrComplain(path, bytes))
        return 1;
    Scan scan = scanPayload(bytes);
    std::vector<std::string> problems;
    const auto& records = scan.records;
    if (!isAcceptable(records))
        problems.push_back("the payload does not begin with CommandLine, URL and an installer");
    if (std::uint32_t padding = paddingBeforeCertificate(bytes, scan))
        problems.push_back(
            std::to_string(padding) +
            " zero bytes stand between the trailer and the certificate table: the launcher was "
            "signed without being built to a multiple of 8 bytes, so signing padded it, and radad "
            "looks for its trailer right before the table. Build it again with radad-pack build "
            "and sign the new file");
    payload::MemorySource source(bytes.data(), bytes.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        const std::string which = std::string("record ") + records[i].name;
        char text[payload::kTextBufferSize];
        if (i < 2 && !payload::readRecordText(source, records[i].dataOffset, text))
            problems.push_back(which + ": no NUL within its first 260 bytes");
        if (records[i].reserved != 0)
            problems.push_back(which + ": reserved word is not 0, it cannot be extracted");
        if (const char* nameProblem = fileNameProblem(records[i].name))
            problems.push_back(which + ": the name " + nameProblem +
                               "; radad will not write it as a file");
    }
    const std::uint32_t trailerAt = scan.location.end - payload::kTrailerSize;
    if (!records.empty() && (trailerAt - recordsEnd(scan) >= kSigningAlignment ||
                             !allZero(bytes, recordsEnd(scan), trailerAt)))
        problems.push_back("the records do not end at the trailer or at zero padding before it");
    for (const std::string& problem : problems)
        std::printf("%s\n", problem.c_str());
    if (scan.location.certificate.state != payload::CertificateState::absent)
        std::printf("%s\n", describeCertificate(scan.location.certificate).c_str());
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
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("radad-pack %s\n", PROJECT_VERSION_TEXT);
        return 0;
    }
    return usage();
}
