#include "message/IdCoder.h"

#include <gtest/gtest.h>

#include "CoderTesting.h"
#include "message/IdCoder3To4.h"
#include "message/IdCoderIMF.h"
#include "message/IdCoderText.h"
#include "message/IdCoderUU.h"

using namespace quietpane::test;

namespace {

// A coder whose output the test decides, to check the queue on its own.
class TScriptedCoder : public TIdCoder {
public:
    using TIdCoder::EmitData;
    using TIdCoder::EmitEvent;
};

std::string Encode(const std::string& bytes, bool appendLineBreak = false)
{
    TIdBase64Encoder encoder;
    encoder.AppendLineBreak = appendLineBreak;
    return DataOf(CollectItems(encoder, bytes));
}

std::string Decode(const std::string& text, size_t chunk = 0)
{
    TIdBase64Decoder decoder;
    return DataOf(CollectItems(decoder, text, chunk));
}

TEST(CoderQueue, TakeNextItemJoinsLeadingDataAndReturnsEventsAlone)
{
    TScriptedCoder coder;
    coder.EmitData("ab");
    coder.EmitData("cd");
    coder.EmitEvent(5, "name.txt");
    coder.EmitData("ef");
    EXPECT_EQ(coder.TakeNextItem(), "0;abcd");
    EXPECT_EQ(coder.TakeNextItem(), "5;name.txt");
    EXPECT_EQ(coder.TakeNextItem(), "0;ef");
    EXPECT_EQ(coder.TakeNextItem(), "");
}

TEST(CoderQueue, TakeCodedDataTakesOnePieceAndStopsAtAnEventUnlessEventsAreDiscarded)
{
    TScriptedCoder coder;
    coder.EmitData("ab");
    coder.EmitData("cd");
    coder.EmitEvent(44, "");
    coder.EmitEvent(45, "");
    coder.EmitData("ef");
    EXPECT_EQ(coder.TakeCodedData(), "ab");
    EXPECT_EQ(coder.TakeCodedData(), "cd");
    EXPECT_EQ(coder.TakeCodedData(), "");
    EXPECT_EQ(coder.TakeNextItem(), "44;");
    coder.DiscardEvents = true;
    EXPECT_EQ(coder.TakeCodedData(), "ef");
}

TEST(CoderQueue, BothDiscardFlagsEmptyTheQueue)
{
    TScriptedCoder coder;
    coder.DiscardData = true;
    coder.DiscardEvents = true;
    coder.EmitData("ab");
    coder.EmitEvent(5, "x");
    EXPECT_EQ(coder.TakeNextItem(), "");
    coder.EmitData("ab");
    EXPECT_EQ(coder.TakeCodedData(), "");
    coder.DiscardData = false;
    EXPECT_EQ(coder.TakeNextItem(), "");
}

TEST(CoderQueue, EventDeliveryHandsDataAndEventsToTheHandlersAndQueuesNothing)
{
    TScriptedCoder coder;
    coder.DeliverEvents = true;
    coder.AppendLineBreak = true;
    std::vector<std::string> seen;
    coder.OnCodedData = [&](TIdCoder&, const std::string& data) { seen.push_back("data " + data); };
    coder.OnCoderEvent = [&](TIdCoder&, int code, const std::string& text) {
        seen.push_back(std::to_string(code) + " " + text);
    };
    coder.EmitData("ab");
    coder.EmitEvent(5, "x");
    EXPECT_EQ(seen, (std::vector<std::string>{"data ab\r\n", "5 x\r\n"}));
    EXPECT_EQ(coder.TakeNextItem(), "");
    EXPECT_EQ(coder.DeliveredCount(), 4u + 3u);
}

TEST(IdentityCoder, ConvertsOnlyWhenTheBufferIsExactlyFullAndAgainAtTheEnd)
{
    TIdCoder coder;
    coder.ChangeBufferSize(4);
    EXPECT_EQ(coder.FeedInput("abc"), "");
    EXPECT_EQ(coder.FeedInput("defghij"), "0;abcdefgh");
    EXPECT_EQ(coder.BufferedCount(), 2u);
    EXPECT_EQ(coder.FinishInput(), "0;ij");
    EXPECT_EQ(coder.FedCount(), 10u);
    EXPECT_EQ(coder.DeliveredCount(), 10u);
    EXPECT_TRUE(coder.Finishing());
    coder.AutoFinish = true;
    EXPECT_EQ(coder.FeedInput("k"), "0;k");
}

TEST(IdentityCoder, DeliversPiecesOfAtMostTheBufferSize)
{
    TIdCoder coder;
    std::vector<size_t> sizes;
    coder.DeliverEvents = true;
    coder.OnCodedData = [&](TIdCoder&, const std::string& data) { sizes.push_back(data.size()); };
    coder.FeedInput(std::string(10000, 'x'));
    coder.FinishInput();
    EXPECT_EQ(sizes, (std::vector<size_t>{4096, 4096, 1808}));
}

TEST(FetchLineTest, TakesTheFirstLineWhicheverBreakComesFirst)
{
    std::string text = "one\r\ntwo\nthree\rfour\n\rfive";
    EXPECT_EQ(FetchLine(text), "one");
    EXPECT_EQ(FetchLine(text), "two");
    EXPECT_EQ(FetchLine(text), "three");
    EXPECT_EQ(FetchLine(text), "four");
    EXPECT_EQ(FetchLine(text), "");
    EXPECT_EQ(FetchLine(text), "five");
    EXPECT_EQ(text, "");
}

TEST(Registry, HoldsTheEighteenCodersInLookupOrder)
{
    const TIdCoderCollection& registry = CoderRegistry();
    ASSERT_EQ(registry.Count(), 18u);
    const std::vector<std::tuple<uint8_t, uint8_t, std::string, std::string>> expected = {
        {0, 0, "", "application/octet-stream"},
        {128, 0, "", "application/octet-stream"},
        {128, 0, "7bit", ""},
        {128, 0, "8bit", ""},
        {128, 0, "binary", ""},
        {128, 9, "8bit", "text/"},
        {0, 8, "base64", ""},
        {128, 8, "base64", ""},
        {0, 8, "x-uu", ""},
        {128, 8, "x-uu", ""},
        {0, 8, "x-xx", ""},
        {128, 8, "x-xx", ""},
        {0, 8, "quoted-printable", ""},
        {128, 8, "quoted-printable", ""},
        {0, 8, "x-uuencode", ""},
        {128, 8, "x-uuencode", ""},
        {0, 8, "uuencode", ""},
        {128, 8, "uuencode", ""},
    };
    for (size_t i = 0; i < expected.size(); ++i) {
        const TIdCoderItem& item = registry.Item(i);
        EXPECT_EQ(std::tie(item.kind, item.priority, item.encodingName, item.contentType), expected[i]) << i;
    }
    EXPECT_NE(dynamic_cast<TIdIMFDecoder*>(registry.Item(5).Create().get()), nullptr);
    EXPECT_NE(dynamic_cast<TIdXXEncoder*>(registry.Item(10).Create().get()), nullptr);
    EXPECT_NE(dynamic_cast<TIdQuotedPrintableDecoder*>(registry.Item(13).Create().get()), nullptr);
    EXPECT_NE(dynamic_cast<TIdUUDecoder*>(registry.Item(17).Create().get()), nullptr);
}

TEST(Registry, FindCoderIgnoresCaseAndFallsBackToTheIdentityCoder)
{
    const TIdCoderCollection& registry = CoderRegistry();
    constexpr uint8_t decoder = TIdCoderItem::Decoder;
    constexpr uint8_t encoder = TIdCoderItem::Encoder;
    EXPECT_EQ(&registry.FindCoder("TEXT/PLAIN", "BASE64", decoder), &registry.Item(7));
    EXPECT_EQ(&registry.FindCoder("text/plain", "Base64", encoder), &registry.Item(6));
    EXPECT_EQ(&registry.FindCoder("", "Quoted-Printable", decoder), &registry.Item(13));
    EXPECT_EQ(&registry.FindCoder("", "x-unknown", decoder), &registry.Item(1));
    EXPECT_EQ(&registry.FindCoder("image/gif", "x-unknown", encoder), &registry.Item(0));
    EXPECT_EQ(&registry.FindCoder("text/", "", decoder), &registry.Item(5));
    EXPECT_EQ(&registry.FindCoder("Text/", "8BIT", decoder), &registry.Item(5));
    EXPECT_EQ(&registry.FindCoder("text/plain", "8bit", decoder), &registry.Item(3));
    EXPECT_EQ(&registry.FindCoder("", "", decoder), &registry.Item(1));
    EXPECT_EQ(&registry.FindCoder("multipart/mixed", "", decoder), &registry.Item(1));
}

TEST(Base64Encoding, EncodeBase64TextGivesTheStandardPaddedForm)
{
    EXPECT_EQ(EncodeBase64Text(""), "");
    EXPECT_EQ(EncodeBase64Text("f"), "Zg==");
    EXPECT_EQ(EncodeBase64Text("fo"), "Zm8=");
    EXPECT_EQ(EncodeBase64Text("foo"), "Zm9v");
    EXPECT_EQ(EncodeBase64Text("foobar"), "Zm9vYmFy");
    EXPECT_EQ(EncodeBase64Text("user@example.com"), "dXNlckBleGFtcGxlLmNvbQ==");
    const std::string longText(5000, '\xFF');
    EXPECT_EQ(EncodeBase64Text(longText), std::string(6664, '/') + "//8=");
}

TEST(Base64Encoding, FiftySevenBytesMakeOneLineOfSeventySixCharacters)
{
    const std::string line = Encode(std::string(57, 'a'), true);
    ASSERT_EQ(line.size(), 78u);
    EXPECT_TRUE(line.ends_with("YWFh\r\n"));
    const std::string ten = Encode("0123456789");
    EXPECT_EQ(ten, "MDEyMzQ1Njc4OQ==");
    const std::string eleven = Encode("0123456789a");
    EXPECT_EQ(eleven.size(), 16u);
    EXPECT_TRUE(eleven.ends_with("=") && !eleven.ends_with("=="));
    EXPECT_EQ(Encode(""), "");
}

TEST(Base64Encoding, AnEncoderFinishedAfterEveryLineCanBeFedAgain)
{
    TIdBase64Encoder encoder;
    encoder.AppendLineBreak = true;
    std::string lines;
    for (int i = 0; i < 3; ++i) {
        encoder.FeedInput(std::string(57, static_cast<char>('a' + i)));
        lines += encoder.FinishInput().substr(2);
    }
    EXPECT_EQ(lines.size(), 3 * 78u);
    EXPECT_EQ(Decode(lines), std::string(57, 'a') + std::string(57, 'b') + std::string(57, 'c'));
}

TEST(Base64Decoding, PaddingFormsGiveOneOrTwoBytes)
{
    EXPECT_EQ(Decode("QQ=="), "A");
    EXPECT_EQ(Decode("QUI="), "AB");
    EXPECT_EQ(Decode("QUJD"), "ABC");
    EXPECT_EQ(Decode("QUJDRA==\r\n"), "ABCD");
    EXPECT_EQ(Decode(""), "");
}

TEST(Base64Decoding, BitsLeftOverInTheLastCharacterMakeNoByte)
{
    // "QUJ=": the third character's two low bits are set; "QR==": the second's low four bits.
    EXPECT_EQ(Decode("QUJ="), "AB");
    EXPECT_EQ(Decode("QR=="), "A");
    // Unpadded short groups at the end; a single character carries no whole byte.
    EXPECT_EQ(Decode("QUJ"), "AB");
    EXPECT_EQ(Decode("QR"), "A");
    EXPECT_EQ(Decode("QUJDR"), "ABC");
    // The same in a full-buffer pass.
    std::string text = "QUJ=\r\n";
    text += std::string(4096 - text.size(), '\n');
    EXPECT_EQ(Decode(text + "QUJD"), "ABABC");
}

TEST(Base64Decoding, APaddedLastLineDecodesTheSameInAFullPassAsAtTheEnd)
{
    std::string groups;
    std::string bytes;
    for (int i = 0; i < 1022; ++i) {
        groups += "QUJD";
        bytes += "ABC";
    }
    const std::string fullPass = "\r\n" + groups + "QUI=\r\n";
    ASSERT_EQ(fullPass.size(), 4096u);
    EXPECT_EQ(Decode(fullPass), bytes + "AB");
    EXPECT_EQ(Decode(groups + "QUI=\r\n"), bytes + "AB");
}

TEST(Base64Decoding, SkipsBlanksAndTabsButRejectsOtherForeignCharacters)
{
    EXPECT_EQ(Decode("QUJD \t\r\nRA== \r\n"), "ABCD");
    EXPECT_EQ(Decode("Q U\tJ D"), "ABC");
    EXPECT_EQ(Decode("QUJD\nREVG\n"), "ABCDEF");
    try {
        Decode("QUJD\r\nRE*G\r\n");
        FAIL() << "no exception";
    } catch (const EIdTableNotFound& e) {
        EXPECT_STREQ(e.what(), "Coding table entry not found.");
    }
    EXPECT_THROW(Decode("Q=JD"), EIdTableNotFound);
    EXPECT_THROW(Decode(std::string(5000, 'A') + "!"), EIdTableNotFound);
}

TEST(Base64Decoding, ALineLongerThanTheBufferDecodesWhole)
{
    const std::string bytes(30000, '\x5A');
    std::string text = Encode(bytes);
    EXPECT_EQ(Decode(text), bytes);
    EXPECT_EQ(Decode(text, 37), bytes);
}

TEST(Base64Decoding, PaddedPiecesMayFollowOneAnother)
{
    EXPECT_EQ(Decode("QQ==\r\nQUJD\r\n"), "AABC");
    EXPECT_EQ(Decode("QQ==QUI="), "AAB");
}

TEST(Base64Chunking, EncoderAndDecoderGiveTheSameItemsForEveryChunkSize)
{
    std::mt19937 random(7);
    const std::string bytes = RandomMailBytes(random, 9000);
    ExpectSameItemsForEveryChunkSize([] { return std::make_unique<TIdBase64Encoder>(); }, bytes);
    std::string text;
    for (size_t at = 0; at < bytes.size(); at += 57) {
        text += Encode(bytes.substr(at, 57), true);
    }
    text.insert(1000, " \t");
    ExpectSameItemsForEveryChunkSize([] { return std::make_unique<TIdBase64Decoder>(); }, text);
    EXPECT_EQ(Decode(text), bytes);
}

using Base64Agreement = NeedsSystemPython;

TEST_F(Base64Agreement, OurOutputDecodesWithBinasciiAndTheirsWithOurs)
{
    std::mt19937 random(20261208);
    std::uniform_int_distribution<size_t> size(0, 100000);
    for (const size_t n :
         {size_t(0), size_t(1), size_t(2), size_t(57), size(random), size(random), size(random)}) {
        const std::string bytes = RandomMailBytes(random, n);
        std::string ours;
        for (size_t at = 0; at < bytes.size(); at += 57) {
            ours += Encode(bytes.substr(at, 57), true);
        }
        EXPECT_EQ(PythonCoder("b64decode", ours), bytes) << n;
        EXPECT_EQ(Decode(PythonCoder("b64encode", bytes)), bytes) << n;
        // A whole text fed at once (no line breaks) as well.
        EXPECT_EQ(PythonCoder("b64decode", Encode(bytes)), bytes) << n;
    }
}

} // namespace
