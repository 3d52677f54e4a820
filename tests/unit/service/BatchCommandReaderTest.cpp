// Lifting the command out of a batch file's bytes.
#include "BatchCommand.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Shift-JIS: lead bytes 0x81-0x9F and 0xE0-0xFC.
bool shiftJisLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9f) || (byte >= 0xe0 && byte <= 0xfc);
}

struct Reading {
    std::string command;
    BatchEncoding encoding;
};

Reading readInPieces(const std::string& file, std::size_t pieceSize, LeadBytePredicate isLeadByte) {
    BatchCommandReader reader(isLeadByte);
    for (std::size_t offset = 0; offset < file.size(); offset += pieceSize) {
        const std::size_t count = std::min(pieceSize, file.size() - offset);
        if (!reader.feed(file.data() + offset, count))
            break;
    }
    reader.finish();
    return {std::string(reader.command().c_str(), reader.command().size()), reader.encoding()};
}

constexpr BatchEncoding kUtf8 = BatchEncoding::Utf8;
constexpr BatchEncoding kAnsi = BatchEncoding::SystemCodePage;

struct BatchCase {
    const char* name;
    std::string file;
    std::string expectedCommand;
    LeadBytePredicate isLeadByte;
    // What the first four lines make of the file; pure ASCII is valid UTF-8.
    BatchEncoding expectedEncoding = kUtf8;
};

const std::string kHead = "@echo off\r\nrem Manager server\r\nset X=%1\r\n";

class BatchCommandReaderTest : public testing::TestWithParam<BatchCase> {};

TEST_P(BatchCommandReaderTest, TakesTheFourthLineUpToItsFirstPercentSign) {
    const BatchCase& c = GetParam();
    // Pieces as small as one byte put every line end and every carriage
    // return on a piece boundary somewhere.
    for (std::size_t pieceSize : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{7},
                                  std::size_t{512}, c.file.size() + 1}) {
        const Reading read = readInPieces(c.file, pieceSize, c.isLeadByte);
        EXPECT_EQ(read.command, c.expectedCommand) << "pieces of " << pieceSize;
        EXPECT_EQ(read.encoding, c.expectedEncoding) << "pieces of " << pieceSize;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, BatchCommandReaderTest,
    testing::Values(
        BatchCase{"BlankBeforeBatchParameterIsKept", kHead + "C:\\svc\\server.exe run %1\r\n",
                  "C:\\svc\\server.exe run ", noLeadBytes},
        BatchCase{"LineStartingWithPercentGivesEmpty", kHead + "%JAVA% -jar x\r\n", "",
                  noLeadBytes},
        BatchCase{"LineWithoutPercentIsTakenWhole", kHead + "server.exe -a  -b  \r\n",
                  "server.exe -a  -b  ", noLeadBytes},
        BatchCase{"CutAtTheFirstOfSeveralPercentSigns", kHead + "a %% b %1\r\n", "a ", noLeadBytes},
        BatchCase{"LastLineWithoutNewline", kHead + "server.exe go", "server.exe go", noLeadBytes},
        BatchCase{"LineFeedsAlone", "a\nb\nc\nserver.exe lf\nnext\n", "server.exe lf", noLeadBytes},
        BatchCase{"NoCarriageReturnLeftBeforeTheLineFeed", "a\r\nb\r\nc\r\nd\r\n", "d",
                  noLeadBytes},
        BatchCase{"LoneCarriageReturnIsPartOfTheLine", kHead + "a\rb\r\n", "a\rb", noLeadBytes},
        BatchCase{"CarriageReturnLastInTheFileIsKept", kHead + "run\r", "run\r", noLeadBytes},
        BatchCase{"CarriageReturnBeforePercentIsKept", kHead + "run\r%1\r\n", "run\r", noLeadBytes},
        BatchCase{"ThreeLinesGiveEmpty", kHead, "", noLeadBytes},
        BatchCase{"ThreeLinesWithoutLastNewlineGiveEmpty", "a\r\nb\r\nc", "", noLeadBytes},
        BatchCase{"EmptyFileGivesEmpty", "", "", noLeadBytes},
        BatchCase{"EmptyFourthLine", kHead + "\r\nserver.exe\r\n", "", noLeadBytes},
        BatchCase{"FifthLineIsNotLookedAt", kHead + "four\r\nfive\r\n", "four", noLeadBytes},
        BatchCase{"PercentSignsInEarlierLinesDoNotCount", "%a\r\n%b%\r\n%\r\nfour\r\n", "four",
                  noLeadBytes},
        BatchCase{"LongLineIsTakenWhole", kHead + std::string(5000, 'x') + " %1\r\n",
                  std::string(5000, 'x') + " ", noLeadBytes},
        BatchCase{"LongEarlierLinesAreSkipped",
                  std::string(3000, 'a') + "\r\n" + std::string(3000, 'b') + "\nc\r\nfour", "four",
                  noLeadBytes},
        BatchCase{"TrailByteIsNeverAPercentSign", kHead + "\x81%x %1\r\n", "\x81%x ",
                  shiftJisLeadByte, kAnsi},
        BatchCase{"SameBytesUnderSingleByteCodePage", kHead + "\x81%x %1\r\n", "\x81", noLeadBytes,
                  kAnsi},
        BatchCase{"PercentAfterDoubleByteCharacterCounts", kHead + "\x95\x5c%1\r\n", "\x95\x5c",
                  shiftJisLeadByte, kAnsi},
        BatchCase{"LeadByteBeforeNewlineEndsTheLine", kHead + "run\x81\r\nx\r\n", "run\x81",
                  shiftJisLeadByte, kAnsi},
        BatchCase{"NulBytesAreKept", kHead + std::string("a\0b", 3) + "\r\n",
                  std::string("a\0b", 3), noLeadBytes},
        // Ctrl-Z ends a file read as text, as old editors saved it.
        BatchCase{"CtrlZAfterTheFourthLineEndsTheFile", kHead + "server.exe\x1a", "server.exe",
                  noLeadBytes},
        BatchCase{"CtrlZInTheFourthLineEndsIt", kHead + "server.exe\x1a -x\r\n", "server.exe",
                  noLeadBytes},
        BatchCase{"CtrlZBeforeTheFourthLineLeavesFewerLines", "a\r\nb\x1a\r\nc\r\nfour\r\n", "",
                  noLeadBytes},
        BatchCase{"CarriageReturnBeforeCtrlZIsKept", kHead + "run\r\x1a\n", "run\r", noLeadBytes},
        BatchCase{"CtrlZAfterALeadByteStillEndsTheFile", kHead + "run\x81\x1a%x", "run\x81",
                  shiftJisLeadByte, kAnsi},
        // The encoding: valid UTF-8 in the first four lines, or the ANSI code page.
        BatchCase{"Utf8WithByteOrderMark",
                  "\xef\xbb\xbf@echo off\r\nb\r\nc\r\n\xce\xa9 \xf0\x9f\x98\x80",
                  "\xce\xa9 \xf0\x9f\x98\x80", noLeadBytes},
        // U+0141 ends in 0x81, a Shift-JIS lead byte: read as UTF-8, the percent
        // sign after it ends the command.
        BatchCase{"Utf8FileEndsAtAPercentSignAfterADoubleByteLeadByte", kHead + "\xc5\x81%1 x\r\n",
                  "\xc5\x81", shiftJisLeadByte},
        BatchCase{"InvalidUtf8InAnEarlierLineMakesItAnsi",
                  "rem M\xfcller\r\nb\r\nc\r\nrun \xc3\xbc\r\n", "run \xc3\xbc", noLeadBytes,
                  kAnsi},
        BatchCase{"InvalidUtf8AfterThePercentSignMakesItAnsi", kHead + "run %1 \xfc\r\n", "run ",
                  noLeadBytes, kAnsi},
        BatchCase{"FifthLineDoesNotDecide", kHead + "run \xc3\xbc\r\n\xfc\r\n", "run \xc3\xbc",
                  noLeadBytes},
        BatchCase{"CharacterCutByTheLineEndIsAnsi", kHead + "run \xc3\r\n", "run \xc3", noLeadBytes,
                  kAnsi},
        BatchCase{"CharacterCutByCtrlZIsAnsi", kHead + "run \xc3\x1a\xbc", "run \xc3", noLeadBytes,
                  kAnsi},
        BatchCase{"SurrogateIsNotUtf8", kHead + "\xed\xa0\x80", "\xed\xa0\x80", noLeadBytes, kAnsi},
        BatchCase{"OverlongFormIsNotUtf8", kHead + "\xc0\xaf", "\xc0\xaf", noLeadBytes, kAnsi},
        BatchCase{"BeyondU10FFFFIsNotUtf8", kHead + "\xf4\x90\x80\x80", "\xf4\x90\x80\x80",
                  noLeadBytes, kAnsi}),
    [](const testing::TestParamInfo<BatchCase>& info) { return std::string(info.param.name); });

TEST(BatchCommandReaderTest, AsksForNoMoreOnceTheFourthLineHasEnded) {
    BatchCommandReader reader;
    const std::string head = "a\nb\nc\nrun %1";
    // The rest of the line still decides the encoding.
    EXPECT_TRUE(reader.feed(head.data(), head.size()));
    const std::string rest = " x\r\nmore";
    EXPECT_FALSE(reader.feed(rest.data(), rest.size()));
    const std::string later = "ignored";
    EXPECT_FALSE(reader.feed(later.data(), later.size()));
    reader.finish();
    EXPECT_STREQ(reader.command().c_str(), "run ");
}

TEST(BatchCommandReaderTest, HandsOverTheCommandItCollected) {
    BatchCommandReader reader;
    const std::string file = "a\nb\nc\nserver.exe\n";
    reader.feed(file.data(), file.size());
    reader.finish();
    GrowingText command = reader.takeCommand();
    EXPECT_STREQ(command.c_str(), "server.exe");
}

} // namespace
