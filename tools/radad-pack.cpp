// radad-pack: appends payload records to a launcher, lists a launcher's payload
// and checks that the launcher will accept it. Launchers are signed after the
// payload is built; list and check read a signed launcher as radad does, with
// the payload ending where the certificate table begins.
//
//   radad-pack build <launcher.exe> -o <out.exe> [OPTION...] RECORD...
//       RECORD is NAME=FILE (the file's bytes) or NAME:=TEXT (the text and a NUL);
//       the options set the icon, the version information, the caption and the
//       execution level of the copy of the launcher that the payload is appended to
//   radad-pack list <launcher.exe>
//   radad-pack check <launcher.exe>
//   radad-pack --help | --version
//
// Texts on the command line are UTF-8 (radad-pack.exe asks Windows for UTF-8
// in its manifest).
#include "Manifest.h"
#include "Path.h"
#include "PayloadFormat.h"
#include "PayloadWriter.h"
#include "PeImage.h"
#include "ProjectVersion.h"
#include "ResourceEdit.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "usage: radad-pack build <launcher.exe> -o <out.exe> [OPTION...] RECORD...\n"
    "       radad-pack list <launcher.exe>\n"
    "       radad-pack check <launcher.exe>\n"
    "       radad-pack --help | --version\n"
    "RECORD is NAME=FILE (the file's bytes) or NAME:=TEXT (the text and a NUL); at most ten.\n"
    "The first three are, in this order:\n"
    "  CommandLine:=REQUIREMENT     alternatives VERSION:VENDOR:OS separated by blanks, such\n"
    "                               as 17+:A:A (Java 17 or later), 11-17:A:A or 1.1:A:A\n"
    "  URL:=ADDRESS                 where the user can download a Java VM\n"
    "  CLASS.class=FILE             the installer class, started as CLASS\n"
    "options of build (each at most once, before the records):\n"
    "  --icon FILE.ico              the icon, all its sizes and colour depths\n"
    "  --product-name TEXT          version information: ProductName; also the caption\n"
    "  --description TEXT           FileDescription\n"
    "  --company TEXT               CompanyName\n"
    "  --copyright TEXT             LegalCopyright\n"
    "  --product-version VERSION    ProductVersion and the fixed product version\n"
    "  --file-version VERSION       FileVersion and the fixed file version\n"
    "                               (VERSION: one to four numbers 0-65535, dotted)\n"
    "  --caption TEXT               the caption of every window and message box alone\n"
    "  --elevation asInvoker|highestAvailable|requireAdministrator\n"
    "                               the manifest's requestedExecutionLevel\n";

int usage() {
    std::fputs(kUsage, stderr);
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

// The options of build that set a string of the version information.
struct VersionOption {
    const char* flag;
    const char16_t* key;
    bool isVersion; // also sets the fixed information's number
    bool isProduct;
};

const VersionOption kVersionOptions[] = {
    {"--product-name", u"ProductName", false, false},
    {"--description", u"FileDescription", false, false},
    {"--company", u"CompanyName", false, false},
    {"--copyright", u"LegalCopyright", false, false},
    {"--product-version", u"ProductVersion", true, true},
    {"--file-version", u"FileVersion", true, false},
};

// radad loads its caption into 260 bytes, in UTF-8 where Windows gives it that
// code page.
bool setCaption(const std::string& value, const char* flag, pe::ResourceEdits& edits) {
    try {
        pe::require(!value.empty() && value.size() < 260,
                    std::string(flag) + ": a caption has 1 to 259 bytes in UTF-8, not " +
                        std::to_string(value.size()));
        edits.caption = pe::utf16FromUtf8(value, flag);
        return true;
    } catch (const pe::FormatError& error) {
        std::fprintf(stderr, "radad-pack: %s\n", error.what());
        return false;
    }
}

// Takes one option of build and its value; false with a message when either is wrong.
bool takeOption(const std::string& flag, const std::string& value, pe::ResourceEdits& edits,
                std::vector<std::string>& seen) {
    for (const std::string& earlier : seen)
        if (earlier == flag) {
            std::fprintf(stderr, "radad-pack: %s is given twice\n", flag.c_str());
            return false;
        }
    seen.push_back(flag);
    if (flag == "--caption")
        return setCaption(value, "--caption", edits);
    try {
        if (flag == "--icon") {
            std::vector<unsigned char> file;
            if (!readOrComplain(value.c_str(), file))
                return false;
            edits.icon = pe::readIconFile(file);
            return true;
        }
        if (flag == "--elevation") {
            pe::require(pe::isExecutionLevel(value),
                        "--elevation \"" + value +
                            "\": the level is asInvoker, highestAvailable or requireAdministrator");
            edits.executionLevel = value;
            return true;
        }
        for (const VersionOption& option : kVersionOptions) {
            if (flag != option.flag)
                continue;
            if (option.isVersion) {
                pe::VersionNumber number;
                pe::require(parseVersionNumber(value, number),
                            flag + " \"" + value +
                                "\": a version is one to four numbers from 0 to 65535, "
                                "separated by dots");
                (option.isProduct ? edits.setProductVersion : edits.setFileVersion) = true;
                (option.isProduct ? edits.productVersion : edits.fileVersion) = number;
            }
            edits.strings.emplace_back(option.key, pe::utf16FromUtf8(value, flag));
            return true;
        }
        std::fprintf(stderr, "radad-pack: unknown option %s\n", flag.c_str());
        return false;
    } catch (const pe::FormatError& error) {
        if (flag == "--icon")
            std::fprintf(stderr, "radad-pack: %s: %s\n", value.c_str(), error.what());
        else
            std::fprintf(stderr, "radad-pack: %s\n", error.what());
        return false;
    }
}

// Writes the file whole, or removes what a failed write left. A path that
// cannot be opened for writing (a folder, a file write-protected) stays as it is.
bool writeOutput(const char* path, const std::vector<unsigned char>& bytes) {
    std::FILE* file = std::fopen(path, "wb");
    bool ok = file != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (file != nullptr && std::fclose(file) != 0)
        ok = false;
    if (ok)
        return true;
    if (file != nullptr)
        std::remove(path);
    std::fprintf(stderr, "radad-pack: cannot write %s\n", path);
    return false;
}

int build(int argc, char** argv) {
    if (argc < 5 || std::strcmp(argv[3], "-o") != 0)
        return usage();
    const char* launcherPath = argv[2];
    const char* outPath = argv[4];
    pe::ResourceEdits edits;
    std::vector<std::string> seen;
    std::string productName;
    int first = 5;
    for (; first < argc && std::strncmp(argv[first], "--", 2) == 0; ++first) {
        std::string flag = argv[first];
        std::string value;
        const std::size_t equals = flag.find('=');
        if (equals != std::string::npos) {
            value = flag.substr(equals + 1);
            flag.resize(equals);
        } else if (first + 1 < argc) {
            value = argv[++first];
        } else {
            std::fprintf(stderr, "radad-pack: %s wants a value\n", flag.c_str());
            return 1;
        }
        if (!takeOption(flag, value, edits, seen))
            return 1;
        if (flag == "--product-name")
            productName = value;
    }
    if (first == argc)
        return usage();
    // The author's name in the windows too, unless they are given a caption of their own.
    if (edits.caption.empty() && !productName.empty() &&
        !setCaption(productName, "--product-name", edits))
        return 1;
    // Rewritten version information names the installer, not the launcher it came from.
    if (!edits.strings.empty()) {
        const std::string out = outPath;
        const std::string name = out.substr(out.find_last_of("/\\") + 1);
        try {
            edits.strings.emplace_back(u"OriginalFilename", pe::utf16FromUtf8(name, "-o"));
        } catch (const pe::FormatError& error) {
            std::fprintf(stderr, "radad-pack: %s\n", error.what());
            return 1;
        }
    }

    std::vector<unsigned char> stub;
    if (!readOrComplain(launcherPath, stub))
        return 1;
    try {
        pe::require(pe::identify(stub).hasProbeClass,
                    "it carries no probe class (resource JAVACLASS 105)");
    } catch (const pe::FormatError& error) {
        std::fprintf(stderr, "radad-pack: %s is no radad launcher: %s\n", launcherPath,
                     error.what());
        return 1;
    }
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
    for (int i = first; i < argc; ++i) {
        RecordInput record;
        if (std::strncmp(argv[i], "--", 2) == 0) {
            std::fprintf(stderr, "radad-pack: %s comes after a record: options come first\n",
                         argv[i]);
            return 1;
        }
        if (!parseRecord(argv[i], record)) {
            std::fprintf(stderr, "radad-pack: cannot take record %s\n", argv[i]);
            return 1;
        }
        records.push_back(record);
    }
    if (!edits.empty()) {
        try {
            stub = pe::editResources(stub, edits);
        } catch (const pe::FormatError& error) {
            std::fprintf(stderr, "radad-pack: %s: cannot rewrite its resources: %s\n", launcherPath,
                         error.what());
            return 1;
        }
    }
    std::vector<std::string> problems = validatePayload(stub.size(), records);
    for (const std::string& problem : problems)
        std::fprintf(stderr, "radad-pack: %s\n", problem.c_str());
    if (!problems.empty())
        return 1;
    std::vector<unsigned char> out = appendPayload(stub, records);
    pe::updateChecksum(out);
    return writeOutput(outPath, out) ? 0 : 1;
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

// What the launcher's resources say about it: every value the options of build set.
void printIdentity(const std::vector<unsigned char>& bytes) {
    try {
        const pe::LauncherIdentity identity = pe::identify(bytes);
        if (identity.hasVersionInfo)
            std::printf("product name %s\ndescription %s\ncompany %s\ncopyright %s\n"
                        "product version %s\nfile version %s\noriginal file name %s\n",
                        identity.productName.c_str(), identity.description.c_str(),
                        identity.company.c_str(), identity.copyright.c_str(),
                        identity.productVersion.c_str(), identity.fileVersion.c_str(),
                        identity.originalFilename.c_str());
        else
            std::printf("no version information\n");
        std::printf("caption %s\nicon", identity.caption.c_str());
        for (std::size_t i = 0; i < identity.iconImages.size(); ++i)
            std::printf("%s %s", i == 0 ? "" : ",", identity.iconImages[i].c_str());
        std::printf(identity.iconImages.empty() ? " none\n" : "\n");
        if (!identity.hasManifest)
            std::printf("no manifest\n");
        else
            std::printf("elevation %s\n", identity.executionLevel.empty()
                                              ? "not requested"
                                              : identity.executionLevel.c_str());
    } catch (const pe::FormatError& error) {
        std::printf("resources unreadable: %s\n", error.what());
    }
}

int list(const char* path) {
    std::vector<unsigned char> bytes;
    if (!readOrComplain(path, bytes))
        return 1;
    Scan scan = scanPayload(bytes);
    std::printf("file size %zu\n", bytes.size());
    if (!scan.location.hasTrailer) {
        std::printf("no trailer\n");
        printIdentity(bytes);
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
    printIdentity(bytes);
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
    const auto& records = scan.records;
    payload::MemorySource source(bytes.data(), bytes.size());
    const char* names[3] = {};
    for (std::size_t i = 0; i < 3 && i < records.size(); ++i)
        names[i] = records[i].name;
    char requirement[payload::kTextBufferSize];
    const bool readable =
        !records.empty() && payload::readRecordText(source, records[0].dataOffset, requirement);
    std::vector<std::string> problems = roleProblems(names, readable ? requirement : nullptr);
    if (std::uint32_t padding = paddingBeforeCertificate(bytes, scan))
        problems.push_back(
            std::to_string(padding) +
            " zero bytes stand between the trailer and the certificate table: the launcher was "
            "signed without being built to a multiple of 8 bytes, so signing padded it, and radad "
            "looks for its trailer right before the table. Build it again with radad-pack build "
            "and sign the new file");
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
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("radad-pack %s\n", PROJECT_VERSION_TEXT);
        return 0;
    }
    return usage();
}
