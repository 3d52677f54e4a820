#include "PayloadFormat.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

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
