// The message writer in memory: the wire form byte for byte, boundaries that the content never
// starts a line with, line lengths, attachment names as Python's email package reads them, and
// the message identifier.
#include "message/IdMessageWriter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "CoderTesting.h"
#include "message/IdCoder3To4.h"
#include "message/IdMessageReader.h"
#include "message/IdMimeParameters.h"

using namespace quietpane::test;

namespace {

using Lines = std::vector<std::string>;

const std::string MixedBoundary = "=_NextPart_2rfkvidasadvnqw3nerasdf";
const std::string RelatedBoundary = "=_NextPart_2relrfksadvnqvidaw3nerasdf";
const std::string AlternativeBoundary = "=_NextPart_2altrfkvidasadvnqw3nerasdf";

// The text after the header block.
std::string BodyOf(const std::string& wire)
{
    const std::size_t end = wire.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : wire.substr(end + 4);
}

std::string Joined(const Lines& lines)
{
    std::string text;
    for (const std::string& line : lines) {
        text += line;
    }
    return text;
}

// What Python's email package reads from a written message: "field: value" lines.
std::multimap<std::string, std::string> ReadWithPython(const std::string& wire, const TempDir& folder)
{
    const auto file = folder.WriteFile("message.eml", wire);
    const auto parts = folder.Path() / "parts";
    std::filesystem::create_directories(parts);
    std::istringstream output(
        RunProgram({SystemPython(), std::string(QUIETPANE_TEST_SCRIPTS_DIR) + "/read_message.py",
                    file.string(), parts.string()}));
    std::multimap<std::string, std::string> fields;
    for (std::string line; std::getline(output, line);) {
        const std::size_t colon = line.find(": ");
        if (colon != std::string::npos) {
            fields.emplace(line.substr(0, colon), line.substr(colon + 2));
        }
    }
    return fields;
}

} // namespace

// ---------------------------------------------------------------- wire form

TEST(MessageWriter, EmptyMessageIsTheHeaderBlockAndTheEmptyLine)
{
    TIdMessage message;
    const std::string wire = TIdMessageWriter::MessageText(message);
    const Lines lines = SplitCRLF(wire);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].rfind("Date: ", 0), 0u);
    EXPECT_EQ(lines[1], "X-Priority: 3");
    EXPECT_EQ(lines[2], "X-Library: Vida 8.0.25");
    EXPECT_EQ(lines[3].rfind("Message-ID: <", 0), 0u);
    EXPECT_EQ(lines[4], "");
}

TEST(MessageWriter, ExactlyOneTextPartRaisesAfterTheHeaderLines)
{
    TIdMessage message;
    message.Parts.AddText({"only"});
    std::string wire;
    TIdMessageWriter writer([&wire](std::string_view bytes) { wire += bytes; });
    EXPECT_THAT([&] { writer.WriteMessage(message); },
                testing::ThrowsMessage<EIdTextInvalidCount>(
                    testing::StrEq("Invalid Text count. TIdText must be greater than 1")));
    EXPECT_NE(wire.find("X-Library: Vida 8.0.25\r\n"), std::string::npos);
    EXPECT_EQ(wire.find("\r\n\r\n"), std::string::npos);
}

TEST(MessageWriter, TwoTextPartsAreAlternativesUnderTheMixedBoundary)
{
    TIdMessage message;
    message.Body = {"not written"};
    message.Parts.AddText({"plain = text"});
    TIdText& html = message.Parts.AddText({"<p>html</p>", std::string(5000, 'h')});
    html.SetContentType("text/html");
    const std::string wire = TIdMessageWriter::MessageText(message);
    EXPECT_EQ(message.ContentType, "multipart/alternative; boundary=\"" + MixedBoundary + "\"");
    const std::string expected = "This is a multi-part message in MIME format\r\n\r\n"
                                 "--" +
                                 MixedBoundary +
                                 "\r\n"
                                 "Content-Type: text/plain\r\n"
                                 "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
                                 "plain =3D text\r\n\r\n"
                                 "--" +
                                 MixedBoundary +
                                 "\r\n"
                                 "Content-Type: text/html\r\n"
                                 "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
                                 "<p>html</p>\r\n";
    const std::string body = BodyOf(wire);
    EXPECT_EQ(body.substr(0, expected.size()), expected);
    EXPECT_EQ(body.substr(body.size() - MixedBoundary.size() - 8), "\r\n--" + MixedBoundary + "--\r\n");
    EXPECT_EQ(body.find("not written"), std::string::npos);
    // The long line went out whole, in soft-broken pieces.
    std::string joined = body;
    for (std::size_t soft; (soft = joined.find("=\r\n")) != std::string::npos;) {
        joined.erase(soft, 3);
    }
    EXPECT_NE(joined.find("\r\n" + std::string(5000, 'h') + "\r\n"), std::string::npos);
    EXPECT_EQ(message.Parts.Items(0).ContentType(), "text/plain");
    EXPECT_EQ(message.Parts.Items(0).ContentTransfer(), "quoted-printable");
}

TEST(MessageWriter, AttachmentLayoutHasTheFixedLinesAndBase64InLinesOf76)
{
    TempDir folder;
    const std::string data = RandomBytes(58, 1);
    const std::filesystem::path file = folder.WriteFile("sub/fifty-eight.bin", data);
    TIdMessage message;
    message.Body = {".hidden"};
    message.Parts.AddAttachment(file.string());
    const std::string wire = TIdMessageWriter::MessageText(message);
    EXPECT_EQ(message.ContentType, "multipart/mixed; boundary=\"" + MixedBoundary + "\"");
    EXPECT_NE(wire.find("\r\nMIME-Version: 1.0\r\n"), std::string::npos);
    const Lines lines = SplitCRLF(BodyOf(wire));
    const Lines expected{"This is a multi-part message in MIME format",
                         "",
                         "--" + MixedBoundary,
                         "Content-Type: text/plain",
                         "Content-Transfer-Encoding: 7bit",
                         "",
                         ".hidden",
                         "",
                         "--" + MixedBoundary,
                         "Content-Type: application/octet-stream;",
                         "        name=\"fifty-eight.bin\"",
                         "Content-Transfer-Encoding: base64",
                         "Content-Disposition: attachment;",
                         "        filename=\"fifty-eight.bin\"",
                         "",
                         lines.size() > 15 ? lines[15] : "",
                         lines.size() > 16 ? lines[16] : "",
                         "",
                         "--" + MixedBoundary + "--"};
    EXPECT_EQ(lines, expected);
    ASSERT_EQ(lines.size(), expected.size());
    EXPECT_EQ(lines[15].size(), 76u);
    EXPECT_EQ(lines[16].size(), 4u);
    EXPECT_EQ(lines[16].substr(2), "==");
    // The encoding file is the writer's own.
    EXPECT_TRUE(message.Parts.Items(0).StoredFileName.empty());
}

TEST(MessageWriter, ZeroByteAttachmentHasNoDataLines)
{
    TempDir folder;
    TIdMessage message;
    message.Parts.AddAttachment(folder.WriteFile("empty.bin", "").string());
    const std::string body = BodyOf(TIdMessageWriter::MessageText(message));
    EXPECT_NE(body.find("filename=\"empty.bin\"\r\n\r\n\r\n--" + MixedBoundary + "--"), std::string::npos);
}

TEST(MessageWriter, AContentIdMakesARelatedMessageAroundTwoTextParts)
{
    TempDir folder;
    TIdMessage message;
    message.Parts.AddText({"see the picture"});
    message.Parts.AddText({"<img src=\"cid:pic\">"}).SetContentType("text/html");
    TIdAttachment& picture = message.Parts.AddAttachment(folder.WriteFile("pic.png", "PNG").string());
    picture.SetContentType("image/png");
    picture.ExtraHeaders.SetHeader("Content-ID", "<pic>");
    const std::string wire = TIdMessageWriter::MessageText(message);
    EXPECT_EQ(message.ContentType,
              "multipart/related; type=\"multipart/alternative\"; boundary=\"" + RelatedBoundary + "\"");
    const std::string body = BodyOf(wire);
    EXPECT_NE(body.find("--" + RelatedBoundary +
                        "\r\nContent-Type: multipart/alternative; \r\n"
                        "        boundary=\"" +
                        AlternativeBoundary + "\"\r\n\r\n--" + AlternativeBoundary),
              std::string::npos);
    EXPECT_NE(body.find("--" + AlternativeBoundary + "--\r\n\r\n--" + RelatedBoundary +
                        "\r\nContent-Type: image/png;\r\n"),
              std::string::npos);
    EXPECT_NE(body.find("\r\nContent-ID: <pic>\r\n\r\nUE5H\r\n"), std::string::npos);
}

TEST(MessageWriter, AnAttachmentThatCannotBeOpenedRaisesAndLeavesNoFile)
{
    TIdMessage message;
    message.Parts.AddAttachment("/nonexistent/quietpane/file.bin");
    EXPECT_THROW(TIdMessageWriter::MessageText(message), std::system_error);
    EXPECT_TRUE(message.Parts.Items(0).StoredFileName.empty());
}

// ---------------------------------------------------------------- real-world content

TEST(MessageWriter, BoundariesAreChosenSoThatNoContentLineStartsWithThem)
{
    const Lines trap{"--" + MixedBoundary, "--" + AlternativeBoundary + "--",
                     "--" + MixedBoundary + "_1 too"};
    TempDir folder;
    TIdMessage withBody;
    withBody.Body = trap;
    withBody.Parts.AddAttachment(folder.WriteFile("a.bin", "data").string());
    TIdMessage withTexts;
    for (const char* type : {"text/plain", "text/html"}) {
        TIdText& text = withTexts.Parts.AddText(trap);
        text.SetContentType(type);
        text.SetContentTransfer("7bit");
    }
    withTexts.Parts.AddAttachment(folder.WriteFile("b.bin", "data").string());
    // Unencoded data whose lines end in bare CRs, which the connection makes CR LF.
    TIdMessage withRawData;
    withRawData.Parts.AddAttachment(folder.WriteFile("c.txt", "x\r" + trap[0] + "\r").string())
        .SetContentTransfer("8bit");
    for (TIdMessage* message : {&withBody, &withTexts, &withRawData}) {
        const std::string wire = TIdMessageWriter::MessageText(*message);
        const std::string outer = TIdMimeHeaderValue(message->ContentType).Parameter("boundary");
        EXPECT_NE(outer, MixedBoundary);
        // Lines as a server sees them: a bare CR ends one too.
        std::istringstream lines(std::regex_replace(wire, std::regex("\r\n?"), "\n"));
        for (std::string line; std::getline(lines, line);) {
            if (line.starts_with("--" + outer)) {
                EXPECT_TRUE(line == "--" + outer || line == "--" + outer + "--") << line;
            }
        }
        TIdMessage read;
        TIdMessageReader::ReadMessage(read, wire);
        int intact = 0;
        for (int index = 0; index < read.Parts.Count(); ++index) {
            if (const auto* text = dynamic_cast<const TIdText*>(&read.Parts.Items(index))) {
                intact +=
                    Joined(text->Body) == trap[0] + "\r\n" + trap[1] + "\r\n" + trap[2] + "\r\n" ? 1 : 0;
            }
        }
        EXPECT_EQ(intact, message == &withTexts ? 2 : message == &withBody ? 1 : 0);
    }
}

TEST(MessageWriter, NoLineIsLongerThan998Characters)
{
    TIdMessage message;
    const std::string word(2500, 'w');
    message.Subject = "long " + word + " and " + std::string(1200, 'y');
    message.Parts.AddText({"plain"});
    TIdText& encoded = message.Parts.AddText({std::string(3000, 'b'), "second line"});
    encoded.SetContentTransfer("base64");
    const std::string wire = TIdMessageWriter::MessageText(message);
    for (const std::string& line : SplitCRLF(wire)) {
        EXPECT_LE(line.size(), 998u) << line.substr(0, 40);
    }
    for (const std::string& line : SplitCRLF(BodyOf(wire))) {
        if (line.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=") ==
            std::string::npos) {
            EXPECT_LE(line.size(), 76u);
        }
    }
    TIdMessage read;
    TIdMessageReader::ReadMessage(read, wire);
    EXPECT_EQ(read.Subject, message.Subject);
    ASSERT_EQ(read.Parts.Count(), 3);
    EXPECT_EQ(Joined(dynamic_cast<const TIdText&>(read.Parts.Items(2)).Body),
              std::string(3000, 'b') + "\r\nsecond line\r\n");
    if (!SystemPython().empty()) {
        TempDir folder;
        const auto python = ReadWithPython(wire, folder);
        EXPECT_EQ(python.find("subject")->second, message.Subject);
    }
}

TEST(MessageWriter, ABodyLineTooLongForTheWireGoesOutQuotedPrintable)
{
    TempDir folder;
    const std::string longLine = std::string(1500, 'l') + " end";
    for (const bool withAttachment : {false, true}) {
        TIdMessage message;
        message.Body = {"first", longLine};
        if (withAttachment) {
            message.Parts.AddAttachment(folder.WriteFile("a.bin", "attached").string());
        }
        const std::string wire = TIdMessageWriter::MessageText(message);
        for (const std::string& line : SplitCRLF(wire)) {
            EXPECT_LE(line.size(), 998u) << withAttachment;
        }
        EXPECT_NE(wire.find("Content-Transfer-Encoding: quoted-printable\r\n"), std::string::npos);
        EXPECT_NE(wire.find("MIME-Version: 1.0\r\n"), std::string::npos);
        TIdMessage read;
        TIdMessageReader::ReadMessage(read, wire);
        const std::vector<std::string>* body = &read.Body;
        for (int index = 0; index < read.Parts.Count(); ++index) {
            if (const auto* text = dynamic_cast<const TIdText*>(&read.Parts.Items(index))) {
                body = &text->Body;
            }
        }
        EXPECT_EQ(Joined(*body), "first\r\n" + longLine + "\r\n") << withAttachment;
    }
}

class WriterAttachmentNames : public ::testing::TestWithParam<std::pair<std::string, std::string>> {};

TEST_P(WriterAttachmentNames, ReadBackAsTheyWereNamed)
{
    const auto& [name, expected] = GetParam();
    TempDir folder;
    TIdMessage message;
    message.Body = {"see the file"};
    std::filesystem::create_directories(folder.Path() / "files");
    const std::filesystem::path file = folder.Path() / "files" / name;
    {
        std::ofstream(file, std::ios::binary) << "content";
    }
    message.Parts.AddAttachment(file.string());
    const std::string wire = TIdMessageWriter::MessageText(message);
    const std::string headers = wire.substr(0, wire.find("\r\n\r\n--"));
    EXPECT_TRUE(SplitCRLF(wire).size() > 0);
    TIdMessage read;
    TIdMessageReader::ReadMessage(read, wire);
    ASSERT_EQ(read.Parts.Count(), 3);
    EXPECT_EQ(dynamic_cast<const TIdAttachment&>(read.Parts.Items(2)).FileName, expected);
    if (!SystemPython().empty()) {
        const auto python = ReadWithPython(wire, folder);
        ASSERT_EQ(python.count("attachment"), 1u);
        EXPECT_EQ(python.find("attachment")->second, "1\t" + expected + "\t7");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, WriterAttachmentNames,
    ::testing::Values(std::pair<std::string, std::string>{"plain.txt", "plain.txt"},
                      std::pair<std::string, std::string>{"résumé 2024.pdf", "résumé 2024.pdf"},
                      std::pair<std::string, std::string>{
                          "議事録_2024年3月12日_取締役会_最終版_確認済み_配布用_社外秘.docx",
                          "議事録_2024年3月12日_取締役会_最終版_確認済み_配布用_社外秘.docx"},
                      std::pair<std::string, std::string>{"say \"hi\" \\ bye.txt", "say \"hi\" \\ bye.txt"},
                      std::pair<std::string, std::string>{"line\r\nBcc: x@example.com.txt",
                                                          "lineBcc: x@example.com.txt"}));

TEST(MessageWriter, EveryMessageGetsAMessageIdAndNoStraySemicolon)
{
    TempDir folder;
    TIdMessage message;
    message.From.Address = "me@example.org";
    message.Parts.AddAttachment(folder.WriteFile("a.bin", "a").string());
    const std::string first = TIdMessageWriter::MessageText(message);
    message.ContentType.clear();
    const std::string second = TIdMessageWriter::MessageText(message);
    const std::regex messageId("\r\nMessage-ID: (<[^<>@ ]+@example\\.org>)\r\n");
    std::smatch firstId;
    std::smatch secondId;
    ASSERT_TRUE(std::regex_search(first, firstId, messageId));
    ASSERT_TRUE(std::regex_search(second, secondId, messageId));
    EXPECT_NE(firstId[1].str(), secondId[1].str());
    EXPECT_EQ(message.ContentType.back(), '"');
    EXPECT_EQ(first.find(";\r\n\r\n"), std::string::npos);
}

TEST(MessageWriter, AReceivedPartsStoredFileIsNeverTouched)
{
    TempDir folder;
    const auto stored = folder.WriteFile("stored.bin", "received content");
    TIdMessage message;
    TIdAttachment& attachment = message.Parts.AddAttachment(folder.WriteFile("send.bin", "to send").string());
    attachment.StoredFileName = stored.string();
    const std::string wire = TIdMessageWriter::MessageText(message);
    EXPECT_NE(wire.find(EncodeBase64Text("to send")), std::string::npos);
    EXPECT_EQ(attachment.StoredFileName, stored.string());
    EXPECT_EQ(ReadFile(stored), "received content");
}
