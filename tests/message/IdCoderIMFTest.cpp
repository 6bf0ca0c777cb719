#include "message/IdCoderIMF.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "CoderTesting.h"
#include "message/IdCoder3To4.h"
#include "net/IdGlobal.h"

using namespace quietpane::test;

namespace {

std::vector<std::string> Decode(const std::string& text, size_t chunk = 0, uint32_t bufferSize = 0)
{
    TIdIMFDecoder decoder;
    if (bufferSize != 0) {
        decoder.ChangeBufferSize(bufferSize);
    }
    return MergeData(CollectItems(decoder, text, chunk));
}

std::vector<std::string> EventsOf(const std::vector<std::string>& items)
{
    std::vector<std::string> events;
    for (const std::string& item : items) {
        if (!item.starts_with("0;")) {
            events.push_back(item);
        }
    }
    return events;
}

const std::string NestedMessage = "Content-Type: multipart/mixed; boundary=\"outer\"\r\n"
                                  "Content-Transfer-Encoding: 7bit\r\n"
                                  "\r\n"
                                  "This is a multi-part message in MIME format.\r\n"
                                  "\r\n"
                                  "--outer\r\n"
                                  "Content-Type: text/plain\r\n"
                                  "Content-Transfer-Encoding: quoted-printable\r\n"
                                  "\r\n"
                                  "caf=E9\r\n"
                                  "--outer\r\n"
                                  "Content-Type: multipart/alternative; boundary=inner\r\n"
                                  "\r\n"
                                  "second preamble\r\n"
                                  "--inner\r\n"
                                  "Content-Type: text/html\r\n"
                                  "\r\n"
                                  "<p>hi</p>\r\n"
                                  "--inner--\r\n"
                                  "\r\n"
                                  "--outer\r\n"
                                  "Content-Type: application/octet-stream; name=\"a b.bin\"\r\n"
                                  "Content-Transfer-Encoding: base64\r\n"
                                  "Content-Disposition: attachment; filename=ab.bin\r\n"
                                  "\r\n"
                                  "QUJD\r\n"
                                  "--outer--\r\n";

TEST(IMFDecoder, ABodyWithoutBoundaryIsDeliveredWholeThroughItsDecoder)
{
    const std::string head = "Content-Type: text/plain\r\nContent-Transfer-Encoding: base64\r\n\r\n";
    EXPECT_EQ(Decode(head + "aGVsbG8g\r\nd29ybGQ=\r\n"),
              (std::vector<std::string>{"23;Content-Type: text/plain", "23;Content-Transfer-Encoding: base64",
                                        "0;" + head + "\r\n", "21;", "0;hello world", "26;"}));
    const std::string plain = "Content-Type: text/plain\r\nContent-Transfer-Encoding: \r\n\r\n";
    const std::string body(10000, 'b');
    EXPECT_EQ(DataOf(Decode(plain + body)), plain + "\r\n" + body);
}

TEST(IMFDecoder, FoldedHeaderLinesAreJoinedWithOneBlank)
{
    const auto items = Decode("Subject: one\r\n  two\r\n\tthree \r\nX-Other: x\r\n\r\n");
    EXPECT_EQ(EventsOf(items),
              (std::vector<std::string>{"23;Subject: one two three", "23;X-Other: x", "21;", "26;"}));
    // Raw header text goes out after every line that is not a content header.
    EXPECT_EQ(items[1], "0;Subject: one\r\n  two\r\n\tthree \r\n");
}

TEST(IMFDecoder, NestedMultipartsGiveTheirEventsAndDataInOrder)
{
    const auto items = Decode(NestedMessage);
    const std::vector<std::string> expected = {
        "23;Content-Type: multipart/mixed; boundary=\"outer\"",
        "23;Content-Transfer-Encoding: 7bit",
        "0;Content-Type: multipart/mixed; boundary=\"outer\"\r\nContent-Transfer-Encoding: 7bit\r\n\r\n\r\n",
        "21;",
        "0;This is a multi-part message in MIME format.\r\n",
        "24;outer",
        "0;\r\n--outer\r\n",
        "23;Content-Type: text/plain",
        "23;Content-Transfer-Encoding: quoted-printable",
        "0;Content-Type: text/plain\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n\r\n",
        "21;",
        "0;caf\xE9",
        "24;outer",
        "0;\r\n--outer\r\n",
        "23;Content-Type: multipart/alternative; boundary=inner",
        "0;Content-Type: multipart/alternative; boundary=inner\r\n\r\n\r\n",
        "21;",
        "0;second preamble",
        "24;inner",
        "0;\r\n--inner\r\n",
        "23;Content-Type: text/html",
        "0;Content-Type: text/html\r\n\r\n\r\n",
        "21;",
        "0;<p>hi</p>",
        "24;inner",
        "25;",
        "0;\r\n--inner--\r\n",
        "24;outer",
        "0;\r\n--outer\r\n",
        "23;Content-Type: application/octet-stream; name=\"a b.bin\"",
        "5;a b.bin",
        "23;Content-Transfer-Encoding: base64",
        "23;Content-Disposition: attachment; filename=ab.bin",
        "5;ab.bin",
        "0;Content-Type: application/octet-stream; name=\"a b.bin\"\r\nContent-Transfer-Encoding: base64\r\n"
        "Content-Disposition: attachment; filename=ab.bin\r\n\r\n\r\n",
        "21;",
        "0;ABC",
        "24;outer",
        "25;",
        "0;\r\n--outer--\r\n",
        "26;",
    };
    EXPECT_EQ(items, expected);
}

TEST(IMFDecoder, BoundaryParametersQuotedAndUnquoted)
{
    TIdIMFDecoder decoder;
    CollectItems(decoder, "Content-Type: multipart/mixed; boundary=\"a b;c\"; x=y\r\n"
                          "X: y\r\n\r\n--a b;c\r\n"
                          "Content-Type: multipart/related; BOUNDARY=plain-one\r\n\r\n"
                          "--plain-one\r\n"
                          "Content-Type: multipart/related; boundary=last; type=x\r\n\r\n");
    EXPECT_EQ(decoder.Boundaries(), (std::vector<std::string>{"a b;c", "plain-one", "last"}));
}

TEST(IMFDecoder, TheOrderOfAPartsHeaderLinesDoesNotMatter)
{
    const auto items = Decode("Content-Type: multipart/mixed; boundary=b\r\n\r\n"
                              "--b\r\nContent-Transfer-Encoding: base64\r\nContent-Type: text/plain\r\n\r\n"
                              "QUJD\r\n--b--\r\n");
    EXPECT_NE(std::find(items.begin(), items.end(), "0;ABC"), items.end());
}

TEST(IMFDecoder, APartWithoutContentHeadersIsPlainText)
{
    const auto items = Decode("Content-Type: multipart/mixed; boundary=b\r\n\r\n"
                              "--b\r\nContent-Type: text/plain\r\nContent-Transfer-Encoding: base64\r\n\r\n"
                              "QUJD\r\n--b\r\nX-Note: none\r\n\r\nREVG\r\n--b--\r\n");
    EXPECT_NE(std::find(items.begin(), items.end(), "0;ABC"), items.end());
    EXPECT_NE(std::find(items.begin(), items.end(), "0;REVG"), items.end());
}

TEST(IMFDecoder, ClosingDelimiterAndShortTail)
{
    const std::string head = "Content-Type: multipart/mixed; boundary=zz\r\n\r\n";
    const auto closed = EventsOf(Decode(head + "--zz\r\n\r\nx\r\n--zz--\r\n"));
    EXPECT_EQ(closed, (std::vector<std::string>{"23;Content-Type: multipart/mixed; boundary=zz", "21;",
                                                "24;zz", "21;", "24;zz", "25;", "26;"}));
    // A closing delimiter needs no line break at the end of input.
    const auto shortTail = Decode(head + "pre\r\n--zz--");
    EXPECT_EQ(EventsOf(shortTail), (std::vector<std::string>{"23;Content-Type: multipart/mixed; boundary=zz",
                                                             "21;", "24;zz", "25;", "26;"}));
    EXPECT_NE(DataOf(shortTail).find("pre"), std::string::npos);
}

TEST(IMFDecoder, BrokenBase64ContentIsReportedAndPassedOnAsSent)
{
    const std::string text = "Content-Type: multipart/mixed; boundary=b\r\n\r\n"
                             "--b\r\nContent-Transfer-Encoding: base64\r\nContent-Type: x/y\r\n"
                             "Content-Transfer-Encoding: base64\r\n\r\nQU*D\r\n--b--\r\n";
    const auto items = Decode(text);
    const auto failure = std::find(items.begin(), items.end(), "27;Coding table entry not found.");
    ASSERT_NE(failure, items.end());
    EXPECT_EQ(DataOf({failure + 1, items.end()}).substr(0, 4), "QU*D");
}

TEST(IMFDecoder, UUContentIsDecodedToo)
{
    const auto items =
        Decode("Content-Type: multipart/mixed; boundary=b\r\n\r\n"
               "--b\r\nContent-Type: application/octet-stream\r\nContent-Transfer-Encoding: x-uu\r\n\r\n"
               "begin 644 h.txt\r\n,:&5L;&\\L('=O<FQD\r\n`\r\nend\r\n--b\r\nContent-Transfer-Encoding: "
               "x-uuencode\r\n\r\n"
               // Older encoders write blanks for zero values.
               "begin 644 h.txt\r\n,:&5L;&\\L('=O<FQD\r\n \r\nend\r\n--b--\r\n");
    EXPECT_EQ(std::count(items.begin(), items.end(), "0;hello, world"), 2);
}

// The same message with every delimiter and header line straddling pass boundaries somewhere:
// buffer sizes from small to large shift where each pass ends.
TEST(IMFChunking, ItemsDoNotDependOnChunkOrBufferSizes)
{
    std::mt19937 random(3);
    std::string message = NestedMessage;
    const std::string attachment = RandomMailBytes(random, 3000);
    message.insert(message.find("QUJD"), EncodeBase64Text(attachment.substr(0, 2997)) + "\r\n");
    message.insert(message.find("caf=E9"), std::string(5000, 'q') + "\r\n");
    message.insert(message.find("Content-Type: text/html"), "Subject: " + std::string(5000, 's') + "\r\n");
    const std::vector<std::string> whole = Decode(message);
    ExpectSameItemsForEveryChunkSize([] { return std::make_unique<TIdIMFDecoder>(); }, message);
    for (uint32_t bufferSize = 8; bufferSize <= 300; ++bufferSize) {
        ASSERT_EQ(Decode(message, 0, bufferSize), whole) << "buffer size " << bufferSize;
    }
    for (uint32_t bufferSize = 4000; bufferSize <= 4200; bufferSize += 7) {
        ASSERT_EQ(Decode(message, 61, bufferSize), whole) << "buffer size " << bufferSize;
    }
    EXPECT_EQ(std::count(whole.begin(), whole.end(), "24;outer"), 4);
}

TEST(IMFChunking, AHeaderLineEndingAPassIsReadOnceTheNextLineStarts)
{
    // The pass ends right after the first line; the next line never gets its line break.
    const std::string text = "X-First: 1\r\nX-Second: unterminated";
    const std::vector<std::string> expected = {"23;X-First: 1", "0;X-First: 1\r\nX-Second: unterminated",
                                               "26;"};
    EXPECT_EQ(Decode(text), expected);
    for (uint32_t bufferSize = 8; bufferSize <= 40; ++bufferSize) {
        EXPECT_EQ(Decode(text, 0, bufferSize), expected) << "buffer size " << bufferSize;
    }
}

TEST(IMFChunking, ABoundaryLongerThanTheBufferStillSplitsTheParts)
{
    const std::string boundary(6000, 'b');
    const std::string text = "Content-Type: multipart/mixed; boundary=" + boundary + "\r\n\r\n--" + boundary +
                             "\r\nContent-Type: text/plain\r\n\r\none\r\n--" + boundary +
                             "\r\n\r\ntwo\r\n--" + boundary + "--\r\n";
    for (const size_t chunk : {size_t(0), size_t(1000)}) {
        const auto items = Decode(text, chunk);
        EXPECT_EQ(std::count(items.begin(), items.end(), "24;" + boundary), 3);
        EXPECT_NE(std::find(items.begin(), items.end(), "0;one"), items.end());
        EXPECT_NE(std::find(items.begin(), items.end(), "0;two"), items.end());
    }
}

// --- The messages of Python's email test suite, against Python's own decoding ---

struct TCorpusPart {
    std::string encoding;
    std::string data;
};

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

// The header fields the message reader builds its describing header block from.
std::string HeaderField(const std::vector<std::string>& lines, size_t headerEnd, const std::string& name)
{
    for (size_t i = 0; i < headerEnd; ++i) {
        if (lines[i].size() > name.size() && lines[i][name.size()] == ':' &&
            SameTextNoCase(lines[i].substr(0, name.size()), name)) {
            std::string value = Trim(lines[i].substr(name.size() + 1));
            for (size_t k = i + 1;
                 k < headerEnd && !lines[k].empty() && (lines[k][0] == ' ' || lines[k][0] == '\t'); ++k) {
                value += " " + Trim(lines[k]);
            }
            return value;
        }
    }
    return {};
}

// Decodes the body as the message reader feeds it; the parts are numbered in delimiter order,
// part 0 being the whole body.
std::vector<TCorpusPart> DecodeCorpusMessage(const std::vector<std::string>& lines)
{
    const size_t headerEnd = std::find(lines.begin(), lines.end(), "") - lines.begin();
    TIdIMFDecoder decoder;
    decoder.DeliverEvents = true;
    std::vector<TCorpusPart> parts(1);
    bool inContent = false;
    bool closing = false;
    decoder.OnCodedData = [&](TIdCoder&, const std::string& data) {
        if (inContent) {
            parts.back().data += data;
        }
    };
    decoder.OnCoderEvent = [&](TIdCoder&, int code, const std::string&) {
        if (code == 21) {
            inContent = !closing;
        } else if (code == 24 || code == 26) {
            if (inContent) {
                parts.back().encoding = LowerCase(decoder.LastTransferEncoding());
            }
            inContent = false;
            closing = false;
            if (code == 24) {
                parts.emplace_back();
            }
        } else if (code == 25) {
            closing = true;
            parts.pop_back();
        }
    };
    decoder.FeedInput("Content-Type: " + HeaderField(lines, headerEnd, "Content-Type") + "\r\n" +
                      "Content-Transfer-Encoding: " +
                      HeaderField(lines, headerEnd, "Content-Transfer-Encoding") + "\r\n\r\n");
    for (size_t i = headerEnd + 1; i < lines.size(); ++i) {
        decoder.FeedInput(lines[i] + "\r\n");
    }
    decoder.FinishInput();
    return parts;
}

std::string FromHex(const std::string& hex)
{
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return bytes;
}

TEST(IMFCorpus, DecodesPythonsTestMessagesAsPythonDoes)
{
    const std::filesystem::path corpus = "/usr/lib/python3.11/test/test_email/data";
    if (SystemPython().empty() || !std::filesystem::exists(corpus / "msg_01.txt")) {
        GTEST_SKIP() << "/usr/bin/python3 or the email test messages are missing";
    }
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("msg_") && name.ends_with(".txt")) {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files.size(), 47u);
    size_t compared = 0;
    std::vector<std::string> skipped;
    size_t broken = 0;
    for (const auto& file : files) {
        SCOPED_TRACE(file.filename().string());
        const std::vector<std::string> lines = SplitLines(ReadFile(file));
        std::string crlf;
        for (const std::string& line : lines) {
            crlf += line + "\r\n";
        }
        std::istringstream expected(PythonCoder("email", crlf));
        std::vector<std::tuple<std::string, std::string, std::string>> pythonParts;
        size_t pythonBroken = 0;
        for (std::string ordinal, encoding, hex; expected >> ordinal >> encoding >> hex;) {
            if (ordinal == "broken") {
                pythonBroken = std::stoul(encoding);
            } else {
                pythonParts.emplace_back(ordinal, encoding, hex);
            }
        }
        std::vector<TCorpusPart> ours;
        try {
            ours = DecodeCorpusMessage(lines);
        } catch (const EIdTableNotFound&) {
            EXPECT_GT(pythonBroken, 0u) << "the table error for base64 that is not broken";
            ++broken;
            continue;
        }
        for (const auto& [ordinal, encoding, hex] : pythonParts) {
            const size_t index = std::stoul(ordinal);
            if (hex == "-") {
                continue;
            }
            if (index >= ours.size() || ours[index].encoding != encoding) {
                skipped.push_back(file.filename().string() + " part " + ordinal);
                continue;
            }
            EXPECT_EQ(ours[index].data, FromHex(hex == "." ? "" : hex)) << "part " << index;
            ++compared;
        }
    }
    EXPECT_GE(compared, 10u);
    EXPECT_EQ(skipped, std::vector<std::string>{});
    // msg_15's base64 part that holds plain words follows the closing delimiter of its
    // multipart: it is epilogue, for Python too.
    EXPECT_EQ(broken, 0u);
}

} // namespace
