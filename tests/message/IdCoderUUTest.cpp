#include "message/IdCoderUU.h"

#include <gtest/gtest.h>

#include "CoderTesting.h"

using namespace quietpane::test;

namespace {

struct TDecoded {
    std::vector<std::string> items;
    std::vector<std::string> errors;
};

template <typename TDecoder = TIdUUDecoder> TDecoded Decode(const std::string& text, size_t chunk = 0)
{
    TDecoder decoder;
    TDecoded result;
    result.items = MergeData(CollectItems(decoder, text, chunk));
    result.errors = decoder.Errors();
    return result;
}

template <typename TEncoder = TIdUUEncoder>
std::string Encode(const std::string& bytes, const std::string& fileName = "data.bin")
{
    TEncoder encoder;
    encoder.SetFileName(fileName);
    return DataOf(CollectItems(encoder, bytes));
}

// "hello, world" and "0123456789" as UU data lines.
const std::string HelloLine = ",:&5L;&\\L('=O<FQD\r\n";
const std::string DigitsLine = "*,#$R,S0U-C<X.0``\r\n";

TEST(UUDecoding, ReadsTheBeginLineDataZeroLineAndEndWithTheirEvents)
{
    const TDecoded decoded =
        Decode("some preamble\r\nbegin 644 hello.txt\r\n" + HelloLine + DigitsLine + "`\r\nend\r\n");
    EXPECT_EQ(decoded.items, (std::vector<std::string>{"42;", "47;644", "5;hello.txt",
                                                       "0;hello, world0123456789", "44;", "45;"}));
    EXPECT_TRUE(decoded.errors.empty());
    EXPECT_EQ(Decode("BEGIN 600 x\r\n" + HelloLine + "`\r\nEND\r\n").items.back(), "45;");
}

TEST(UUDecoding, PermissionErrorsAreRecordedAndReportedButDecodingGoesOn)
{
    const TDecoded letters = Decode("begin 6a4 x\r\n" + HelloLine + "`\r\nend\r\n");
    EXPECT_EQ(letters.errors, std::vector<std::string>{"Privilege chars not numeric"});
    EXPECT_EQ(letters.items[1], "48;");
    EXPECT_EQ(letters.items[3], "0;hello, world");
    EXPECT_EQ(Decode("begin 64").errors.front(), "Not enough chars for three-digit Privilege");
    EXPECT_EQ(Decode("begin 6444 x\r\n`\r\nend\r\n").errors,
              std::vector<std::string>{"Too many chars for three-digit Privilege"});
}

TEST(UUDecoding, ATablePreambleReplacesTheCodingTable)
{
    const std::string xx = Encode<TIdXXEncoder>("table driven");
    const std::string table = std::string(XXTable);
    const TDecoded decoded =
        Decode("table\r\n" + table.substr(0, 32) + "\r\n" + table.substr(32) + "\r\n" + xx);
    EXPECT_EQ(decoded.items.front(), "41;");
    EXPECT_EQ(DataOf(decoded.items), "table driven");

    const TDecoded missing =
        Decode("TABLE\r\n" + table.substr(0, 32) + "\r\n" + table.substr(32) + "\r\nno\r\n");
    EXPECT_EQ(missing.errors, std::vector<std::string>{"No BEGIN statement followed a TABLE"});
    EXPECT_EQ(missing.items.back(), "43;");
}

TEST(UUDecoding, ALineDeliversNoMoreThanItsLengthCharacterSays)
{
    // "*" stands for 10 bytes; 16 characters carry 12.
    const std::string line = "*,#$R,S0U-C<X.3$R\r\n";
    const std::string text = "begin 644 d\r\n" + line + "`\r\nend\r\n";
    EXPECT_EQ(DataOf(Decode(text).items), "0123456789");
    std::string padded = "begin 644 d\r\n" + std::string(4096 - 13 - line.size(), '\n') + line;
    ASSERT_EQ(padded.size(), 4096u);
    EXPECT_EQ(DataOf(Decode(padded + "`\r\nend\r\n").items), "0123456789");
}

TEST(UUDecoding, ALineShorterThanItsLengthCharacterPromisesDecodesWhatIsThere)
{
    // "M" promises 45 bytes; eight characters hold six.
    EXPECT_EQ(DataOf(Decode("begin 644 d\r\nM,#$R,S0U\r\n`\r\nend\r\n").items), "012345");
    EXPECT_EQ(DataOf(Decode("begin 644 d\r\nM,#$R,\r\n`\r\nend\r\n").items), "012");
    EXPECT_EQ(DataOf(Decode("begin 644 d\r\nM").items), "");
}

TEST(UUDecoding, DataEndingWithoutTheEndLinesIsKeptAndTheGapRecorded)
{
    const TDecoded decoded = Decode("begin 644 d\r\n" + HelloLine);
    EXPECT_EQ(DataOf(decoded.items), "hello, world");
    EXPECT_EQ(decoded.errors, std::vector<std::string>{" Data ended without an END statment"});
}

TEST(UUDecoding, ACharacterOutsideTheTableRaises)
{
    EXPECT_THROW(Decode("begin 644 d\r\n,:&5L;&\\L('=O<Fq\r\n"), EIdTableNotFound);
}

TEST(UUDecoding, TextAfterTheEndLineIsIgnoredAndARestartReadsAFurtherText)
{
    TIdUUDecoder decoder;
    const std::string text = "begin 644 a\r\n" + HelloLine + "`\r\nend\r\n";
    EXPECT_EQ(DataOf(CollectItems(decoder, text + "begin 644 b\r\n" + DigitsLine)), "hello, world");
    decoder.Restart();
    EXPECT_EQ(DataOf(CollectItems(decoder, "begin 644 b\r\n" + DigitsLine + "`\r\nend\r\n")), "0123456789");
    EXPECT_EQ(decoder.FileName(), "b");
}

TEST(UUEncoding, WritesBeginLineDataLinesZeroLineAndEnd)
{
    EXPECT_EQ(Encode("hello, world", "hello.txt"),
              "begin 644 hello.txt\r\n,:&5L;&\\L('=O<FQD\r\n\r\n`\r\n\r\nend\r\n\r\n");
    EXPECT_EQ(Encode("", "e"), "begin 644 e\r\n`\r\nend\r\n");
    const std::string full = Encode(std::string(45, 'a'), "f");
    EXPECT_TRUE(full.starts_with("begin 644 f\r\nM86%A")) << full;
    EXPECT_TRUE(full.ends_with("\r\n`\r\nend\r\n")) << full;
    EXPECT_EQ(Encode<TIdXXEncoder>("0", "x"), "begin 644 x\r\n-A+++\r\n\r\n+\r\n\r\nend\r\n\r\n");
    TIdUUEncoder withTable;
    withTable.TableNeeded = true;
    EXPECT_TRUE(DataOf(CollectItems(withTable, "a")).starts_with("TABLE\r\n`!\"#"));
}

TEST(UUEncoding, ReplaceTableKeepsSixtyFourCharacters)
{
    TIdUUEncoder encoder;
    encoder.ReplaceTable("abc");
    EXPECT_EQ(encoder.Table(), "abc" + std::string(UUTable).substr(3));
    encoder.ReplaceTable(std::string(XXTable) + "extra");
    EXPECT_EQ(encoder.Table(), XXTable);
}

TEST(UUChunking, EncodersAndDecodersGiveTheSameItemsForEveryChunkSize)
{
    std::mt19937 random(5);
    const std::string bytes = RandomMailBytes(random, 6000);
    ExpectSameItemsForEveryChunkSize([] { return std::make_unique<TIdUUEncoder>(); }, bytes);
    ExpectSameItemsForEveryChunkSize([] { return std::make_unique<TIdXXEncoder>(); }, bytes);
    const std::string uu = "preamble\r\n" + Encode(bytes);
    ExpectSameItemsForEveryChunkSize([] { return std::make_unique<TIdUUDecoder>(); }, uu);
    EXPECT_EQ(DataOf(Decode(uu).items), bytes);
    const std::string xx = Encode<TIdXXEncoder>(bytes);
    ExpectSameItemsForEveryChunkSize([] { return std::make_unique<TIdXXDecoder>(); }, xx);
    EXPECT_EQ(DataOf(Decode<TIdXXDecoder>(xx).items), bytes);
}

class UUAgreement : public ::testing::Test {
protected:
    void SetUp() override
    {
        uudeview_ = FindProgram({"/usr/bin/uudeview"});
        uuenview_ = FindProgram({"/usr/bin/uuenview"});
        if (uudeview_.empty() || uuenview_.empty() || SystemPython().empty()) {
            GTEST_SKIP() << "uudeview, uuenview or /usr/bin/python3 is missing";
        }
    }

    // uudeview's decoding of the text; it needs a few lines before it recognises UU data.
    std::string Uudeview(const std::string& text)
    {
        TempDir folder;
        const auto input = folder.WriteFile("in.uu", text);
        std::filesystem::create_directory(folder.Path() / "out");
        EXPECT_NO_THROW(RunProgram(
            {uudeview_, "-i", "-q", "-p", (folder.Path() / "out").string() + "/", input.string()}));
        return ReadFile(folder.Path() / "out" / "data.bin");
    }

    std::string Uuenview(const std::string& bytes, const std::string& mode)
    {
        TempDir folder;
        const auto input = folder.WriteFile("data.bin", bytes);
        const auto output = folder.Path() / "out";
        EXPECT_NO_THROW(RunProgram(
            {"/bin/sh", "-c",
             uuenview_ + " " + mode + " '" + input.string() + "' > '" + output.string() + "' 2>/dev/null"}));
        return ReadFile(output);
    }

    std::string uudeview_;
    std::string uuenview_;
};

TEST_F(UUAgreement, OurOutputDecodesWithUudeviewAndPythonAndTheirsWithOurs)
{
    std::mt19937 random(20261208);
    std::uniform_int_distribution<size_t> size(1000, 100000);
    for (const size_t n : {size_t(1000), size(random), size(random), size(random)}) {
        const std::string bytes = RandomMailBytes(random, n);
        EXPECT_EQ(Uudeview(Encode(bytes)), bytes) << n;
        EXPECT_EQ(Uudeview(Encode<TIdXXEncoder>(bytes)), bytes) << n;
        EXPECT_EQ(DataOf(Decode(Uuenview(bytes, "-u")).items), bytes) << n;
        EXPECT_EQ(DataOf(Decode<TIdXXDecoder>(Uuenview(bytes, "-x")).items), bytes) << n;
    }
    // uudeview leaves texts of a few lines alone; Python's binascii takes those.
    for (const size_t n : {size_t(0), size_t(1), size_t(44), size_t(45), size_t(46), size_t(200)}) {
        const std::string bytes = RandomMailBytes(random, n);
        EXPECT_EQ(PythonCoder("uudecode", Encode(bytes)), bytes) << n;
    }
}

} // namespace
