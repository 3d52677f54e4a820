#include "PayloadFormat.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// The fields of the PE headers that the certificate search reads, for a PE32
// (magic 0x10B) or PE32+ (0x20B) image; written into a stub by LauncherFile.
struct PeHeaders {
    std::uint16_t magic = 0x10B;
    std::uint32_t peOffset = 0x80;
    std::uint16_t sectionCount = 3;
    std::uint16_t optionalSize = 0xE0;
    std::uint32_t headersSize = 0x400;
    std::uint32_t directoryCount = 16;
    std::uint32_t securityOffset = 0;
    std::uint32_t securitySize = 0;
};

// Builds launcher files byte by byte, independently of the tool's writer, so
// that the reader is checked against the format itself.
class LauncherFile {
public:
    explicit LauncherFile(std::uint32_t stubSize) : bytes(stubSize, 0x90) {}

    LauncherFile& raw(const std::string& text) {
        bytes.insert(bytes.end(), text.begin(), text.end());
        return *this;
    }
    LauncherFile& word(std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<unsigned char>(value >> (8 * i)));
        return *this;
    }
    LauncherFile& record(const std::string& name, const std::string& data,
                         std::uint32_t reserved = 0) {
        raw("qvx").raw(name).raw(std::string(1, '\0'));
        word(reserved).word(static_cast<std::uint32_t>(data.size())).raw(data);
        return *this;
    }
    // Writes the headers over the stub; what falls outside the file is left out.
    LauncherFile& headers(const PeHeaders& h) {
        const std::uint64_t pe = h.peOffset, optional = pe + 24;
        const std::uint64_t entry = optional + (h.magic == 0x20B ? 112 : 96) + 4 * 8;
        const std::uint64_t fields[][3] = {{0, 'M' | 'Z' << 8, 2},
                                           {0x3C, pe, 4},
                                           {pe, 'P' | 'E' << 8, 4},
                                           {pe + 6, h.sectionCount, 2},
                                           {pe + 20, h.optionalSize, 2},
                                           {optional, h.magic, 2},
                                           {optional + 60, h.headersSize, 4},
                                           {entry - 36, h.directoryCount, 4},
                                           {entry, h.securityOffset, 4},
                                           {entry + 4, h.securitySize, 4}};
        for (const auto& field : fields)
            for (std::uint64_t i = 0; i < field[2] && field[0] + i < bytes.size(); ++i)
                bytes[field[0] + i] = static_cast<unsigned char>(field[1] >> (8 * i));
        return *this;
    }
    // Appends a certificate table of size bytes and points the security entry at it.
    LauncherFile& sign(std::uint32_t size, PeHeaders h = {}) {
        h.securityOffset = this->size();
        h.securitySize = size;
        bytes.insert(bytes.end(), size, 0x30);
        return headers(h);
    }
    LauncherFile& trailer(std::uint32_t value) { return word(value); }
    LauncherFile& trailer() { return word(stubSize()); }
    std::uint32_t stubSize() const { return stub; }
    std::uint32_t size() const { return static_cast<std::uint32_t>(bytes.size()); }

    std::vector<unsigned char> bytes;
    std::uint32_t stub = static_cast<std::uint32_t>(bytes.size());
};

// The tool's in-memory source, made to fail after a number of reads.
class MemorySource : public payload::MemorySource {
public:
    MemorySource(const std::vector<unsigned char>& bytes, std::size_t failAfterReads = SIZE_MAX)
        : payload::MemorySource(bytes.data(), bytes.size()), readsLeft_(failAfterReads) {}
    bool read(void* buffer, std::uint32_t count) override {
        if (readsLeft_-- == 0)
            return false;
        return payload::MemorySource::read(buffer, count);
    }

private:
    std::size_t readsLeft_;
};

class Collected : public payload::RecordSink {
public:
    void addRecord(const payload::RecordHeader& header) override { records.push_back(header); }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& r : records)
            out.push_back(r.name);
        return out;
    }
    std::vector<payload::RecordHeader> records;
};

Collected scan(const LauncherFile& file, std::uint32_t start) {
    MemorySource source(file.bytes);
    Collected sink;
    payload::scanRecords(source, start, file.size(), sink);
    return sink;
}

using Names = std::vector<std::string>;

TEST(PayloadScan, FindsTheShippedLayoutAtItsDataOffsets) {
    const std::uint32_t S = 57856;
    LauncherFile file(S);
    file.record("CommandLine", std::string("1.1:A:A\0", 8))
        .record("URL", std::string("http://kitebay.example/java/x", 29) + std::string(1, '\0'))
        .record("setup.class", "\xCA\xFE\xBA\xBE rest of the class")
        .trailer();

    Collected found = scan(file, S);
    ASSERT_EQ(found.names(), (Names{"CommandLine", "URL", "setup.class"}));
    EXPECT_EQ(found.records[0].dataOffset, S + 23);
    EXPECT_EQ(found.records[1].dataOffset, S + 46);
    EXPECT_EQ(found.records[2].dataOffset, S + 99);
    EXPECT_EQ(found.records[0].length, 8u);
    EXPECT_EQ(found.records[1].length, 30u);
}

TEST(PayloadScan, EndsWhereThePrefixIsMissingOrInCapitals) {
    LauncherFile file(100);
    file.record("CommandLine", std::string("x\0", 2));
    file.raw("QVXURL").raw(std::string(1, '\0')).word(0).word(2).raw(std::string("y\0", 2));
    file.trailer();
    EXPECT_EQ(scan(file, 100).names(), (Names{"CommandLine"}));
}

TEST(PayloadScan, TakesRecordsOfLengthZeroAndWithAReservedWord) {
    LauncherFile file(64);
    file.record("empty", "").record("odd", "data", 7).record("last", "z").trailer();
    Collected found = scan(file, 64);
    ASSERT_EQ(found.names(), (Names{"empty", "odd", "last"}));
    EXPECT_EQ(found.records[0].length, 0u);
    // Length 0: the next record follows its length field directly.
    EXPECT_EQ(found.records[1].dataOffset, found.records[0].dataOffset + 3 + 4 + 8);
    EXPECT_EQ(found.records[1].reserved, 7u);
}

TEST(PayloadScan, FindsNothingWhereTheTrailerPointsAtOrPastTheEnd) {
    LauncherFile file(64);
    file.record("CommandLine", "x").trailer();
    EXPECT_TRUE(scan(file, file.size()).records.empty());
    EXPECT_TRUE(scan(file, file.size() + 1).records.empty());
    EXPECT_TRUE(scan(file, 0xFFFFFFFFu).records.empty());
    EXPECT_TRUE(scan(file, file.size() - 2).records.empty());
}

TEST(PayloadScan, StopsAtARecordThatIsCutOffOrReachesPastTheEnd) {
    struct Case {
        const char* what;
        std::uint32_t declaredLength;
        std::size_t dataBytes;
    } cases[] = {
        {"length one past the payload", 11, 10},
        {"length far past the end", 100000, 10},
        {"length that wraps the offset", 0xFFFFFFF0u, 10},
        {"length of all ones", 0xFFFFFFFFu, 0},
    };
    for (const Case& c : cases) {
        LauncherFile file(32);
        file.record("first", "ok");
        file.raw("qvxsecond").raw(std::string(1, '\0')).word(0).word(c.declaredLength);
        file.raw(std::string(c.dataBytes, 'd')).trailer();
        EXPECT_EQ(scan(file, 32).names(), (Names{"first"})) << c.what;
    }
}

TEST(PayloadScan, StopsInsideANameOrHeaderThatTheFileCutsShort) {
    LauncherFile cutName(16);
    cutName.record("first", "ok").raw("qvxsecondname");
    EXPECT_EQ(scan(cutName, 16).names(), (Names{"first"}));

    LauncherFile cutHeader(16);
    cutHeader.record("first", "ok").raw("qvxsecond").raw(std::string(1, '\0')).raw("\0\0");
    EXPECT_EQ(scan(cutHeader, 16).names(), (Names{"first"}));
}

TEST(PayloadScan, TakesNamesOfNineteenCharactersAndStopsAtLongerOnes) {
    LauncherFile file(16);
    file.record(std::string(19, 'n'), "ok").record(std::string(20, 'm'), "no").trailer();
    EXPECT_EQ(scan(file, 16).names(), (Names{std::string(19, 'n')}));
}

TEST(PayloadScan, ReadsAtMostTenRecords) {
    LauncherFile file(16);
    for (int i = 0; i < 11; ++i)
        file.record("r" + std::to_string(i), "data");
    file.trailer();
    Collected found = scan(file, 16);
    ASSERT_EQ(found.records.size(), payload::kMaxRecords);
    EXPECT_EQ(found.names().back(), "r9");
}

TEST(PayloadScan, KeepsTheRecordsReadBeforeAFailingRead) {
    LauncherFile file(16);
    file.record("first", "a").record("second", "b").trailer();
    // The prefix, six name bytes and two words take nine reads; the second record
    // fails inside its name.
    MemorySource source(file.bytes, 9 + 3);
    Collected sink;
    EXPECT_EQ(payload::scanRecords(source, 16, file.size(), sink), 1u);
    EXPECT_EQ(sink.names(), (Names{"first"}));
}

// Fails the test when the reader reads outside the file, rather than leaving the
// refusal to the source.
class BoundedSource : public payload::MemorySource {
public:
    explicit BoundedSource(const std::vector<unsigned char>& bytes)
        : payload::MemorySource(bytes.data(), bytes.size()), size_(bytes.size()) {}
    bool seek(std::uint32_t offset) override {
        at_ = offset;
        return payload::MemorySource::seek(offset);
    }
    bool read(void* buffer, std::uint32_t count) override {
        EXPECT_LE(at_ + count, size_) << "read outside the file at " << at_;
        at_ += count;
        return payload::MemorySource::read(buffer, count);
    }

private:
    std::size_t size_;
    std::size_t at_ = 0;
};

payload::PayloadLocation locate(const std::vector<unsigned char>& bytes) {
    BoundedSource source(bytes);
    return payload::locatePayload(source, static_cast<std::uint32_t>(bytes.size()));
}

LauncherFile shippedLauncher(PeHeaders h = {}) {
    LauncherFile file(0x600);
    file.headers(h).record("CommandLine", std::string("1.1:A:A\0", 8)).record("URL", "u").trailer();
    return file;
}

TEST(SignedPayload, EndsWhereATableEndingTheFileBeginsInBothImageKinds) {
    PeHeaders pe32Plus;
    pe32Plus.magic = 0x20B;
    pe32Plus.optionalSize = 0xF0;
    for (const PeHeaders& h : {PeHeaders{}, pe32Plus}) {
        LauncherFile file = shippedLauncher(h);
        const std::uint32_t tableAt = file.size();
        EXPECT_EQ(locate(file.bytes).certificate.state, payload::CertificateState::absent);
        EXPECT_EQ(locate(file.bytes).end, tableAt);

        payload::PayloadLocation location = locate(file.sign(1456, h).bytes);
        EXPECT_EQ(location.certificate.state, payload::CertificateState::present) << h.magic;
        EXPECT_EQ(location.certificate.size, 1456u);
        EXPECT_EQ(location.end, tableAt);
        EXPECT_EQ(location.start, 0x600u);
        MemorySource source(file.bytes);
        Collected found;
        payload::scanRecords(source, location.start, location.end, found);
        EXPECT_EQ(found.names(), (Names{"CommandLine", "URL"}));
    }
}

TEST(SignedPayload, AMalformedOrUndeclaredSecurityEntryLeavesTheFileReadAsUnsigned) {
    const std::uint32_t at = shippedLauncher().size(), end = at + 64;
    const auto entry = [](std::uint32_t offset, std::uint32_t size) {
        PeHeaders h;
        h.securityOffset = offset;
        h.securitySize = size;
        return h;
    };
    // Headers that do not declare the entry, though it points at the table.
    std::vector<PeHeaders> undeclared(6, entry(at, 64));
    undeclared[0].magic = 0x107;
    undeclared[1].directoryCount = 4;
    undeclared[2].optionalSize = 96 + 4 * 8 + 7;
    undeclared[3].peOffset = 0x7FFFFFF0;
    undeclared[4].peOffset = 0xFFFFFFFF;
    undeclared[5].peOffset = end - 20; // the optional header lies past the end
    struct Case {
        PeHeaders headers;
        const char* whyIgnored; // null: no certificate is declared at all
    };
    std::vector<Case> cases = {
        {entry(at, 65), "reaches outside the file"},
        {entry(at + 0x10000000, 64), "reaches outside the file"},
        {entry(0xFFFFFFF0, 64), "reaches outside the file"}, // the sum wraps 32 bits
        {entry(at, 63), "does not end at the end of the file"},
        {entry(end, 0), "is empty"},
        {entry(0x40, end - 0x40), "overlaps the headers"},   // from within the DOS header
        {entry(0x3F8, end - 0x3F8), "overlaps the headers"}, // from within the declared size
    };
    for (const PeHeaders& h : undeclared)
        cases.push_back({h, nullptr});
    for (const Case& c : cases) {
        LauncherFile file = shippedLauncher();
        file.sign(64).headers(c.headers);
        payload::PayloadLocation location = locate(file.bytes);
        const std::string what =
            std::to_string(c.headers.peOffset) + " " + std::to_string(c.headers.securityOffset);
        EXPECT_EQ(location.certificate.state, c.whyIgnored ? payload::CertificateState::ignored
                                                           : payload::CertificateState::absent)
            << what;
        if (c.whyIgnored) {
            EXPECT_STREQ(location.certificate.whyIgnored, c.whyIgnored) << what;
        }
        EXPECT_EQ(location.end, file.size()) << what;
    }
}

TEST(SignedPayload, TruncatedImagesAreReadWithoutStrayingOutsideThem) {
    LauncherFile file = shippedLauncher();
    file.sign(64);
    for (std::size_t length = 0; length < file.bytes.size(); ++length) {
        std::vector<unsigned char> cut(file.bytes.begin(), file.bytes.begin() + length);
        payload::PayloadLocation location = locate(cut);
        EXPECT_NE(location.certificate.state, payload::CertificateState::present) << length;
        EXPECT_EQ(location.end, length);
        EXPECT_EQ(location.hasTrailer, length >= 4) << length;
    }
}

TEST(RecordText, IsReadUpToTheFirstNulWhateverTheStoredLength) {
    LauncherFile file(16);
    file.record("CommandLine", std::string("1.1:A:A\0garbage", 15)).trailer();
    MemorySource source(file.bytes);
    char text[payload::kTextBufferSize];
    ASSERT_TRUE(payload::readRecordText(source, 16 + 23, text));
    EXPECT_STREQ(text, "1.1:A:A");
}

TEST(RecordText, WithoutANulInItsFirst260BytesIsRefused) {
    for (std::size_t length : {259u, 260u}) {
        LauncherFile file(16);
        std::string data(length, 'a');
        data.push_back('\0');
        file.record("CommandLine", data).trailer();
        MemorySource source(file.bytes);
        char text[payload::kTextBufferSize];
        bool read = payload::readRecordText(source, 16 + 23, text);
        EXPECT_EQ(read, length == 259) << length;
        EXPECT_EQ(std::strlen(text), read ? length : 0u);
    }
}

TEST(RecordText, CutOffByTheEndOfTheFileIsRefused) {
    LauncherFile file(16);
    file.raw("no nul here");
    MemorySource source(file.bytes);
    char text[payload::kTextBufferSize];
    EXPECT_FALSE(payload::readRecordText(source, 16, text));
    EXPECT_STREQ(text, "");
}

TEST(AcceptableLayout, WantsCommandLineThenUrlThenAThirdRecord) {
    EXPECT_TRUE(payload::isAcceptableLayout("CommandLine", "URL", true));
    EXPECT_TRUE(payload::isAcceptableLayout("COMMANDLINE", "url", true));
    EXPECT_FALSE(payload::isAcceptableLayout("URL", "CommandLine", true));
    EXPECT_FALSE(payload::isAcceptableLayout("CommandLine", "URL", false));
    EXPECT_FALSE(payload::isAcceptableLayout("CommandLine", nullptr, false));
    EXPECT_FALSE(payload::isAcceptableLayout(nullptr, nullptr, false));
    EXPECT_FALSE(payload::isAcceptableLayout("CommandLines", "URL", true));
}

TEST(StubSize, SpellsThePrefixOnlyWhenItsLowBytesAreQvx) {
    EXPECT_TRUE(payload::stubSizeSpellsPrefix(0x00787671u));
    EXPECT_TRUE(payload::stubSizeSpellsPrefix(0x05787671u));
    EXPECT_FALSE(payload::stubSizeSpellsPrefix(57856));
    EXPECT_FALSE(payload::stubSizeSpellsPrefix(0x00717678u));
}

} // namespace
