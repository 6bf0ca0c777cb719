#include "message/IdCoderText.h"

#include <gtest/gtest.h>

#include "CoderTesting.h"

using namespace quietpane::test;

namespace {

std::string Encode(const std::string& text, size_t chunk = 0)
{
    TIdQuotedPrintableEncoder encoder;
    return DataOf(CollectItems(encoder, text, chunk));
}

std::string Decode(const std::string& text, size_t chunk = 0)
{
    TIdQuotedPrintableDecoder decoder;
    return DataOf(CollectItems(decoder, text, chunk));
}

// Encodes the way the message writer does: each line fed with its CR LF, then finished.
std::string EncodeLineByLine(const std::vector<std::string>& lines)
{
    TIdQuotedPrintableEncoder encoder;
    std::string out;
    for (const std::string& line : lines) {
        encoder.FeedInput(line + "\r\n");
        out += DataOf({encoder.FinishInput()});
        for (std::string item = encoder.TakeNextItem(); !item.empty(); item = encoder.TakeNextItem()) {
            out += DataOf({item});
        }
    }
    return out;
}

TEST(QuotedPrintableEncoding, EscapesEqualsGatewayCharactersControlsAndHighBytes)
{
    EXPECT_EQ(Encode("a=b"), "a=3Db");
    EXPECT_EQ(Encode("me@host"), "me=40host");
    EXPECT_EQ(Encode("a\tb c"), "a=09b c");
    EXPECT_EQ(Encode("!\"#$@[\\]^`{|}~"), "=21=22=23=24=40=5B=5C=5D=5E=60=7B=7C=7D=7E");
    EXPECT_EQ(Encode("caf\xE9\x80\xFF"), "caf=E9=80=FF");
    EXPECT_EQ(Encode(std::string("a\0b", 3)), "a=00b");
    EXPECT_EQ(Encode("a\nb\rc"), "a=0Ab=0Dc");
}

TEST(QuotedPrintableEncoding, HardLineBreaksEscapeATrailingBlank)
{
    EXPECT_EQ(Encode("end \r\nnext\r\n"), "end=20\r\nnext\r\n");
    EXPECT_EQ(Encode("tab\t\r\n\r\nlast "), "tab=09\r\n\r\nlast=20");
    EXPECT_EQ(EncodeLineByLine({"one ", "", "two"}), "one=20\r\n\r\ntwo\r\n");
}

TEST(QuotedPrintableEncoding, LongLinesGetSoftBreaksThatNeverSplitAnEscape)
{
    const std::string letters(100, 'x');
    const std::string expected = std::string(75, 'x') + "=\r\n" + std::string(25, 'x') + "\r\n";
    EXPECT_EQ(Encode(letters + "\r\n"), expected);
    EXPECT_EQ(EncodeLineByLine({letters}), expected);
    // A line longer than the buffer, arriving over several passes.
    const std::string longLine(9000, 'y');
    const std::string encoded = Encode(longLine + "\r\n");
    size_t lines = 0;
    for (size_t at = 0; at < encoded.size(); ++lines) {
        const size_t end = encoded.find("\r\n", at);
        EXPECT_LE(end - at, 76u);
        at = end + 2;
    }
    EXPECT_EQ(lines, 120u);
    EXPECT_EQ(Decode(encoded), longLine + "\r\n");
    // 73 letters and an escape: the escape starts the next line.
    EXPECT_EQ(Encode(std::string(73, 'z') + "=\r\n"), std::string(73, 'z') + "=\r\n=3D\r\n");
    EXPECT_EQ(Encode(std::string(72, 'z') + "==\r\n"), std::string(72, 'z') + "=\r\n=3D=3D\r\n");
}

TEST(QuotedPrintableEncoding, ACrLfSplitAcrossChunksIsOneLineBreakAndAFinalCrIsEscaped)
{
    TIdQuotedPrintableEncoder encoder;
    encoder.ChangeBufferSize(4);
    std::vector<std::string> items = CollectItems(encoder, "abc\r\ndef\r");
    EXPECT_EQ(DataOf(items), "abc\r\ndef=0D");
    EXPECT_EQ(Encode("abc\r\ndef\r", 4), "abc\r\ndef=0D");
}

TEST(QuotedPrintableDecoding, DecodesEscapesSoftBreaksAndLeavesBadEscapesAlone)
{
    EXPECT_EQ(Decode("a=3db=3D"), "a=b=");
    EXPECT_EQ(Decode("joined=\r\nline\r\n"), "joinedline\r\n");
    EXPECT_EQ(Decode("joined=\nline\n"), "joinedline\n");
    EXPECT_EQ(Decode("a=XYb"), "a=XYb");
    EXPECT_EQ(Decode("a=4"), "a4");
    EXPECT_EQ(Decode("a="), "a");
    EXPECT_EQ(Decode("trailing  \r\n"), "trailing  \r\n");
    EXPECT_EQ(Decode("caf=E9"), "caf\xE9");
}

TEST(QuotedPrintableDecoding, AnEscapeSplitAcrossChunksDecodesToItsByte)
{
    TIdQuotedPrintableDecoder decoder;
    decoder.ChangeBufferSize(3);
    std::vector<std::string> items;
    TakeAll(decoder, decoder.FeedInput("xy="), items);
    TakeAll(decoder, decoder.FeedInput("4"), items);
    TakeAll(decoder, decoder.FeedInput("1z"), items);
    TakeAll(decoder, decoder.FinishInput(), items);
    EXPECT_EQ(DataOf(items), "xyAz");
    EXPECT_EQ(Decode("xx=41=\r\nyy", 1), "xxAyy");
}

TEST(QuotedPrintableChunking, EncoderAndDecoderGiveTheSameItemsForEveryChunkSize)
{
    std::mt19937 random(11);
    const std::string bytes = RandomMailBytes(random, 9000);
    ExpectSameItemsForEveryChunkSize([] { return std::make_unique<TIdQuotedPrintableEncoder>(); }, bytes);
    const std::string encoded = Encode(bytes);
    ExpectSameItemsForEveryChunkSize([] { return std::make_unique<TIdQuotedPrintableDecoder>(); }, encoded);
    EXPECT_EQ(Decode(encoded), bytes);
}

using QuotedPrintableAgreement = NeedsSystemPython;

TEST_F(QuotedPrintableAgreement, OurOutputDecodesWithBinasciiAndTheirsWithOurs)
{
    std::mt19937 random(20261208);
    std::uniform_int_distribution<size_t> size(0, 100000);
    for (const size_t n : {size_t(0), size_t(1), size_t(77), size(random), size(random), size(random)}) {
        const std::string bytes = RandomMailBytes(random, n);
        const std::string ours = Encode(bytes);
        EXPECT_EQ(PythonCoder("qpdecode", ours), bytes) << n;
        EXPECT_EQ(Decode(PythonCoder("qpencode-bin", bytes)), bytes) << n;

        const std::string text = RandomText(random, n);
        EXPECT_EQ(PythonCoder("qpdecode", Encode(text)), text) << n;
        EXPECT_EQ(Decode(PythonCoder("qpencode-text", text)), text) << n;
    }
}

} // namespace
