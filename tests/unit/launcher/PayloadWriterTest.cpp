#include "PayloadWriter.h"
#include "PayloadFormat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

std::vector<RecordInput> shippedLayout() {
    return {{"CommandLine", bytes(std::string("1.1:A:A\0", 8))},
            {"URL", bytes(std::string("http://x/\0", 10))},
            {"setup.class", bytes("\xCA\xFE\xBA\xBE")}};
}

bool mentions(const std::vector<std::string>& problems, const std::string& word) {
    for (const auto& p : problems)
        if (p.find(word) != std::string::npos)
            return true;
    return false;
}

TEST(PayloadWriter, WritesRecordsThenTheStubSizeAsTrailer) {
    std::vector<unsigned char> stub(57856, 0x4D);
    std::vector<unsigned char> out = appendPayload(stub, shippedLayout());
    ASSERT_EQ(out.size(), 57856u + 23 + 8 + 15 + 10 + 23 + 4 + 1 + 4); // one byte of padding
    EXPECT_EQ(std::memcmp(out.data() + 57856,
                          "qvxCommandLine\0\0\0\0\0\x08\0\0\0"
                          "1.1:A:A\0",
                          31),
              0);
    EXPECT_EQ(payload::decodeUInt32(out.data() + out.size() - 4), 57856u);
}

TEST(PayloadWriter, PadsWithZerosBeforeTheTrailerToAMultipleOfEight) {
    for (std::size_t length = 0; length < 8; ++length) {
        auto records = shippedLayout();
        records[2].data.assign(length, 0xCA);
        std::vector<unsigned char> out = appendPayload(std::vector<unsigned char>(4096), records);
        const std::size_t padding = out.size() - (4096 + 23 + 8 + 15 + 10 + 23 + length + 4);
        EXPECT_EQ(out.size() % kSigningAlignment, 0u) << length;
        EXPECT_LT(padding, kSigningAlignment);
        EXPECT_EQ(std::count(out.end() - 4 - padding, out.end() - 4, 0), std::ptrdiff_t(padding));
    }
}

TEST(PayloadWriter, AcceptsTheShippedLayout) {
    EXPECT_TRUE(validatePayload(57856, shippedLayout()).empty());
}

TEST(PayloadWriter, RefusesWhatTheFormatForbids) {
    struct Case {
        const char* what;
        std::uint64_t stubSize;
        std::vector<RecordInput> records;
        const char* mentioned;
    };
    std::vector<RecordInput> eleven;
    for (int i = 0; i < 11; ++i)
        eleven.push_back({"r" + std::to_string(i), bytes(std::string("t\0", 2))});
    auto withName = [](const std::string& name) {
        auto records = shippedLayout();
        records[2].name = name;
        return records;
    };
    auto withText = [](std::size_t slot, const std::string& text) {
        auto records = shippedLayout();
        records[slot].data = bytes(text);
        return records;
    };
    const Case cases[] = {
        {"a name of twenty characters", 4096, withName(std::string(20, 'n')), "at most 19"},
        {"eleven records", 4096, eleven, "at most 10"},
        {"no record at all", 4096, {}, "at least one"},
        {"a path for a name", 4096, withName("..\\setup.class"), "path separator"},
        {"a name with a colon", 4096, withName("C:setup"), "path separator or a colon"},
        {"an empty name", 4096, withName(""), "is empty"},
        {"a dot-dot name", 4096, withName(".."), "names a directory"},
        {"a wildcard in a name", 4096, withName("setup?.class"), "does not allow"},
        {"a trailing dot", 4096, withName("setup.class."), "dot or a blank"},
        {"a device name", 4096, withName("nul.class"), "\"nul.class\": the name is a device name"},
        {"a requirement without a NUL", 4096, withText(0, "1.1:A:A"), "NUL"},
        {"an address whose NUL comes late", 4096, withText(1, std::string(260, 'u') + '\0'), "NUL"},
        {"a stub size that spells the prefix", 0x00787671u, shippedLayout(), "prefix"},
        {"two records", 4096, {shippedLayout()[0], shippedLayout()[1]}, "order: it has 2 records"},
        {"the roles swapped",
         4096,
         {shippedLayout()[1], shippedLayout()[0], shippedLayout()[2]},
         "order: record 1 is \"URL\""},
        {"an installer that is no class", 4096, withName("setup.jar"), "record 3 is \"setup.jar\""},
        {"a dotted class name", 4096, withName("my.setup.class"), "record 3 is \"my.setup.class\""},
        {"alternatives no VM can meet", 4096,
         withText(0, std::string("8+:A:A 1.2:A:A 17+:A\0", 22)),
         "meet the requirement string's \"1.2:A:A\", \"17+:A\": "},
        {"a requirement of blanks", 4096, withText(0, std::string(" \0", 2)), "no alternative"},
    };
    for (const Case& c : cases)
        EXPECT_TRUE(mentions(validatePayload(c.stubSize, c.records), c.mentioned)) << c.what;
}

TEST(PayloadWriter, AcceptsTheLimitsThemselves) {
    auto records = shippedLayout();
    records[2].name = std::string(13, 'n') + ".CLASS";
    records[1].data = bytes(std::string(259, 'u') + '\0');
    for (int i = 3; i < 10; ++i)
        records.push_back({"extra" + std::to_string(i), {}});
    EXPECT_TRUE(validatePayload(4096, records).empty());
}

} // namespace
