#include "message/IdMessageWriter.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

#include "message/IdCoder.h"
#include "message/IdCoder3To4.h"
#include "message/IdHeaderCoder.h"
#include "message/IdMimeParameters.h"
#include "net/IdGlobal.h"

namespace {

const std::string kMixedBoundary = "=_NextPart_2rfkvidasadvnqw3nerasdf";
const std::string kRelatedBoundary = "=_NextPart_2relrfksadvnqvidaw3nerasdf";
const std::string kAlternativeBoundary = "=_NextPart_2altrfkvidasadvnqw3nerasdf";
// What all our boundaries begin with: only a content line that starts with "--" and this could
// be taken for one of our delimiters.
const std::string kBoundaryStem = "=_NextPart_2";
const std::string kPreamble = "This is a multi-part message in MIME format";
const std::string kContinuationIndent = "        ";
constexpr std::size_t kEncodingChunk = 57; // one base64 line of 76 characters
constexpr std::size_t kCopyBlock = 65536;
// RFC 5322 allows 998 characters a line; header lines are kept within this.
constexpr std::size_t kMaxLineLength = 998;
constexpr std::size_t kEncodedWordBytes = 45; // 60 base64 characters in a word of 72

void ThrowFileError(const std::string& action, const std::string& name)
{
    throw std::system_error(errno, std::generic_category(), action + " \"" + name + "\"");
}

// Strips the "0;" of a coder's data item; an event item yields nothing.
std::string_view ItemData(const std::string& item)
{
    if (item.size() >= 2 && item[0] == '0' && item[1] == ';') {
        return std::string_view(item).substr(2);
    }
    return {};
}

// Everything an encoder hands back after the last input, data only.
void TakeEncoded(TIdCoder& coder, std::string item, std::string& out)
{
    for (; !item.empty(); item = coder.TakeNextItem()) {
        out += ItemData(item);
    }
}

// The lines of a text, split at CR LF, at a bare CR and at a bare LF.
std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines(1);
    for (std::size_t index = 0; index < text.size(); ++index) {
        const char c = text[index];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && index + 1 < text.size() && text[index + 1] == '\n') {
                ++index;
            }
            lines.emplace_back();
        } else {
            lines.back() += c;
        }
    }
    return lines;
}

std::unique_ptr<TIdCoder> NewEncoder(const std::string& contentType, const std::string& encoding)
{
    std::unique_ptr<TIdCoder> encoder =
        CoderRegistry().FindCoder(contentType, encoding, TIdCoderItem::Encoder).Create();
    encoder->DiscardEvents = true;
    return encoder;
}

// Each line with its CR LF through a line-wise encoder (quoted-printable and the like), which
// supplies the line breaks; an entry holding line ends is several lines.
std::string EncodeEachLine(TIdCoder& encoder, const std::vector<std::string>& body)
{
    std::string out;
    for (const std::string& entry : body) {
        for (const std::string& line : SplitLines(entry)) {
            out += ItemData(encoder.FeedInput(line + "\r\n"));
            TakeEncoded(encoder, encoder.FinishInput(), out);
        }
    }
    return out;
}

// True when a line of the body is longer than the wire takes as it stands. Lines end as
// SplitLines ends them; nothing is copied, since a body may be large.
bool HasOverlongLine(const std::vector<std::string>& body)
{
    for (const std::string& entry : body) {
        std::size_t length = 0;
        for (const char c : entry) {
            length = c == '\r' || c == '\n' ? 0 : length + 1;
            if (length > kMaxLineLength) {
                return true;
            }
        }
    }
    return false;
}

// Base64 in lines of 76 characters: each 57-byte chunk is one line.
void EncodeInLines(TIdCoder& encoder, std::string_view chunk, std::string& out)
{
    encoder.AppendLineBreak = true;
    out += ItemData(encoder.FeedInput(chunk));
    TakeEncoded(encoder, encoder.FinishInput(), out);
}

// Remembers the lines of content, given in pieces, that begin with "--" and our boundary stem,
// so that boundaries can be chosen that none of them begins with.
class TDelimiterLikeLines {
public:
    void Scan(std::string_view text)
    {
        while (!text.empty()) {
            if (collecting_) {
                const std::size_t end = std::min(text.find_first_of("\r\n"), text.size());
                const std::size_t take = std::min(end, kKept - line_.size());
                line_.append(text.substr(0, take));
                const bool stillLike = std::string_view(kPrefix).substr(0, line_.size()) ==
                                       std::string_view(line_).substr(0, kPrefix.size());
                if (!stillLike || end < text.size() || line_.size() == kKept) {
                    if (stillLike && line_.size() >= kPrefix.size()) {
                        lines_.push_back(line_);
                    }
                    collecting_ = false;
                }
            }
            // A bare CR ends a line too: the connection makes it CR LF.
            const std::size_t end = text.find_first_of("\r\n");
            if (end == std::string_view::npos) {
                return;
            }
            text.remove_prefix(end + 1);
            collecting_ = true;
            line_.clear();
        }
    }
    void ScanLine(std::string_view line)
    {
        Scan(line);
        Scan("\r\n");
    }
    // The fixed boundary, or the first of its numbered variants that no line begins with.
    std::string Choose(const std::string& fixed) const
    {
        std::string boundary = fixed;
        for (int number = 1; Collides(boundary); ++number) {
            boundary = fixed + "_" + std::to_string(number);
        }
        return boundary;
    }

private:
    static constexpr std::size_t kKept = 160;
    inline static const std::string kPrefix = "--" + kBoundaryStem;

    bool Collides(const std::string& boundary) const
    {
        for (const std::string& line : lines_) {
            if (line.starts_with("--" + boundary)) {
                return true;
            }
        }
        return false;
    }

    bool collecting_ = true;
    std::string line_;
    std::vector<std::string> lines_;
};

// Removes a file when the scope ends, however it ends.
class TFileRemover {
public:
    explicit TFileRemover(std::string name) : name_(std::move(name)) {}
    ~TFileRemover()
    {
        std::error_code ignored;
        std::filesystem::remove(name_, ignored);
    }
    TFileRemover(const TFileRemover&) = delete;
    TFileRemover& operator=(const TFileRemover&) = delete;
    const std::string& Name() const { return name_; }

private:
    std::string name_;
};

// A word no line break can be put into becomes encoded words of UTF-8, each on a line of its
// own, when its line would pass the limit.
std::string ShortenHeaderLine(const std::string& line)
{
    if (line.size() <= kMaxLineLength) {
        return line;
    }
    std::string result;
    std::size_t position = 0;
    while (position < line.size()) {
        const std::size_t wordStart = line.find_first_not_of(' ', position);
        result.append(line, position, (wordStart == std::string::npos ? line.size() : wordStart) - position);
        if (wordStart == std::string::npos) {
            break;
        }
        const std::size_t wordEnd = std::min(line.find(' ', wordStart), line.size());
        const std::string word = line.substr(wordStart, wordEnd - wordStart);
        // The field name stays as it is.
        if (word.size() < 76 || (wordStart == 0 && word.back() == ':')) {
            result += word;
        } else {
            for (std::size_t at = 0; at < word.size();) {
                std::size_t length = std::min(kEncodedWordBytes, word.size() - at);
                // Never split a UTF-8 sequence between two words.
                while (length > 1 && at + length < word.size() &&
                       (static_cast<unsigned char>(word[at + length]) & 0xC0) == 0x80) {
                    --length;
                }
                result += (at == 0 ? "" : "\r\n ") + std::string("=?UTF-8?B?") +
                          EncodeBase64Text(word.substr(at, length)) + "?=";
                at += length;
            }
        }
        position = wordEnd;
    }
    return result;
}

// A message identifier of the RFC 5322 form, unique to this process and moment.
std::string NewMessageId(const TIdMessage& message)
{
    static std::atomic<unsigned> counter{0};
    std::string domain;
    const std::size_t at = message.From.Address.rfind('@');
    if (at != std::string::npos && at + 1 < message.From.Address.size()) {
        domain = message.From.Address.substr(at + 1);
    } else {
        char host[256] = {};
        domain = gethostname(host, sizeof host - 1) == 0 && host[0] != '\0' ? host : "localhost";
    }
    domain.erase(
        std::remove_if(domain.begin(), domain.end(),
                       [](char c) { return c == '>' || c == '<' || static_cast<unsigned char>(c) <= ' '; }),
        domain.end());
    std::random_device random;
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return "<" + std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(now).count()) + "." +
           std::to_string(getpid()) + "." + std::to_string(++counter) + "." + std::to_string(random()) + "@" +
           (domain.empty() ? "localhost" : domain) + ">";
}

} // namespace

// A part's content in its transfer encoding: in memory for a text, in a temporary file for an
// attachment, so that memory use does not grow with the attachment.
class TIdMessageWriter::TEncodedPart {
public:
    static std::unique_ptr<TEncodedPart> InMemory(std::string text)
    {
        auto part = std::unique_ptr<TEncodedPart>(new TEncodedPart);
        part->text_ = std::move(text);
        return part;
    }
    // The file is removed with the part.
    static std::unique_ptr<TEncodedPart> InFile(std::string fileName)
    {
        auto part = std::unique_ptr<TEncodedPart>(new TEncodedPart);
        part->file_ = std::make_unique<TFileRemover>(std::move(fileName));
        return part;
    }

    void WriteTo(const TIdByteSink& sink) const
    {
        if (!file_) {
            sink(text_);
            return;
        }
        std::ifstream stream(file_->Name(), std::ios::binary);
        if (!stream) {
            ThrowFileError("Cannot open file", file_->Name());
        }
        std::string block(kCopyBlock, '\0');
        while (stream.read(block.data(), static_cast<std::streamsize>(block.size())), stream.gcount() > 0) {
            sink(std::string_view(block).substr(0, static_cast<std::size_t>(stream.gcount())));
        }
        if (stream.bad()) {
            ThrowFileError("Cannot read file", file_->Name());
        }
    }

private:
    TEncodedPart() = default;

    std::string text_;
    std::unique_ptr<TFileRemover> file_;
};

TIdMessageWriter::TIdMessageWriter(TIdByteSink sink, TIdMessageWriterReport report)
    : sink_(std::move(sink)),
      report_(std::move(report)), boundaries_{kMixedBoundary, kRelatedBoundary, kAlternativeBoundary}
{
}

TIdMessageWriter::~TIdMessageWriter() = default;

std::string TIdMessageWriter::MessageText(TIdMessage& message)
{
    std::string text;
    TIdMessageWriter writer([&text](std::string_view bytes) { text += bytes; });
    writer.WriteMessage(message);
    return text;
}

void TIdMessageWriter::Line(std::string_view text)
{
    std::string line(text);
    line += "\r\n";
    sink_(line);
}

void TIdMessageWriter::Status(const std::string& text)
{
    if (report_.OnStatus) {
        report_.OnStatus(text);
    }
}

TIdMessageWriter::TPartCounts TIdMessageWriter::CountParts(const TIdMessage& message)
{
    TPartCounts counts;
    for (int index = 0; index < message.Parts.Count(); ++index) {
        const TIdMessagePart& part = message.Parts.Items(index);
        if (dynamic_cast<const TIdText*>(&part) != nullptr) {
            ++counts.texts;
        } else if (dynamic_cast<const TIdAttachment*>(&part) != nullptr) {
            ++counts.attachments;
            if (!part.ExtraHeaders.GetHeader("Content-ID").empty()) {
                ++counts.related;
            }
        }
    }
    return counts;
}

void TIdMessageWriter::WriteMessage(TIdMessage& message)
{
    encoded_.clear();
    boundaries_ = {kMixedBoundary, kRelatedBoundary, kAlternativeBoundary};
    const TPartCounts counts = CountParts(message);
    // Beside attachments one text part is a body of its own; alone it would be a multipart of one.
    const bool lonelyText = counts.texts == 1 && counts.attachments == 0;
    if (!lonelyText) {
        EncodeParts(message);
    }
    // A body line longer than the wire takes goes out quoted-printable, whose soft line breaks
    // the reader removes again; any other body goes out as it stands.
    bodyQuotedPrintable_ = counts.texts == 0 && HasOverlongLine(message.Body);
    if (bodyQuotedPrintable_ && counts.attachments == 0) {
        message.ContentTransferEncoding = "quoted-printable";
        message.ExtraHeaders.SetHeader("MIME-Version", "1.0");
    }
    WriteHeaderBlock(message);
    if (lonelyText) {
        throw EIdTextInvalidCount();
    }
    Line("");
    WriteMessageBody(message, counts.attachments, counts.related, counts.texts);
    encoded_.clear();
}

void TIdMessageWriter::EncodeParts(TIdMessage& message)
{
    TDelimiterLikeLines lines;
    for (const std::string& entry : message.Body) {
        lines.ScanLine(entry);
    }
    for (int index = 0; index < message.Parts.Count(); ++index) {
        TIdMessagePart& part = message.Parts.Items(index);
        if (dynamic_cast<TIdText*>(&part) == nullptr && dynamic_cast<TIdAttachment*>(&part) == nullptr) {
            continue;
        }
        Encoded(part).WriteTo([&lines](std::string_view bytes) { lines.Scan(bytes); });
        lines.Scan("\r\n");
    }
    boundaries_ = {lines.Choose(kMixedBoundary), lines.Choose(kRelatedBoundary),
                   lines.Choose(kAlternativeBoundary)};
}

TIdMessageWriter::TEncodedPart& TIdMessageWriter::Encoded(TIdMessagePart& part)
{
    std::unique_ptr<TEncodedPart>& slot = encoded_[&part];
    if (!slot) {
        auto* text = dynamic_cast<TIdText*>(&part);
        slot = text != nullptr ? EncodeText(*text) : EncodeAttachment(dynamic_cast<TIdAttachment&>(part));
    }
    return *slot;
}

std::unique_ptr<TIdMessageWriter::TEncodedPart> TIdMessageWriter::EncodeText(TIdText& part)
{
    if (part.ContentType().empty()) {
        part.SetContentType("text/plain");
    }
    if (part.ContentTransfer().empty()) {
        part.SetContentTransfer("quoted-printable");
    }
    const std::unique_ptr<TIdCoder> encoder = NewEncoder(part.ContentType(), part.ContentTransfer());
    std::string out;
    if (SameTextNoCase(Trim(part.ContentTransfer()), "base64")) {
        std::string whole;
        for (const std::string& entry : part.Body) {
            for (const std::string& line : SplitLines(entry)) {
                whole += line + "\r\n";
            }
        }
        for (std::size_t at = 0; at < whole.size(); at += kEncodingChunk) {
            EncodeInLines(*encoder, std::string_view(whole).substr(at, kEncodingChunk), out);
        }
    } else {
        out = EncodeEachLine(*encoder, part.Body);
    }
    return TEncodedPart::InMemory(ConvertForSending(out, SelectHeaderCharset()));
}

std::unique_ptr<TIdMessageWriter::TEncodedPart> TIdMessageWriter::EncodeAttachment(TIdAttachment& attachment)
{
    if (attachment.ContentTransfer().empty()) {
        attachment.SetContentTransfer("base64");
    }
    if (attachment.ContentDisposition().empty()) {
        attachment.SetContentDisposition("attachment");
    }
    const std::unique_ptr<TIdCoder> encoder =
        NewEncoder(attachment.ContentType(), attachment.ContentTransfer());
    if (attachment.ContentTransfer() == "base64" && attachment.ContentType().empty()) {
        attachment.SetContentType("application/octet-stream");
    }
    std::ifstream source(attachment.FileName, std::ios::binary);
    if (!source) {
        ThrowFileError("Cannot open file", attachment.FileName);
    }
    // A file of the writer's own: a received part's stored file is never touched.
    const std::string fileName = NewTempFileName();
    std::unique_ptr<TEncodedPart> encoded = TEncodedPart::InFile(fileName);
    std::ofstream target(fileName, std::ios::binary | std::ios::trunc);
    if (!target) {
        ThrowFileError("Cannot open file", fileName);
    }
    char chunk[kEncodingChunk];
    std::string out;
    while (source.read(chunk, sizeof chunk), source.gcount() > 0) {
        out.clear();
        EncodeInLines(*encoder, std::string_view(chunk, static_cast<std::size_t>(source.gcount())), out);
        target.write(out.data(), static_cast<std::streamsize>(out.size()));
    }
    if (source.bad()) {
        ThrowFileError("Cannot read file", attachment.FileName);
    }
    target.close();
    if (!target) {
        ThrowFileError("Cannot write file", fileName);
    }
    return encoded;
}

TIdMessageWriter::TPartCounts TIdMessageWriter::WriteHeaderBlock(TIdMessage& message)
{
    const TPartCounts counts = CountParts(message);
    if (counts.related > 0) {
        message.ContentType =
            "multipart/related; type=\"multipart/alternative\"; boundary=\"" + boundaries_.related + "\"";
    } else if (counts.attachments > 0) {
        message.ContentType = "multipart/mixed; boundary=\"" + boundaries_.mixed + "\"";
    } else if (counts.texts > 0) {
        message.ContentType = "multipart/alternative; boundary=\"" + boundaries_.mixed + "\"";
    }
    // A ";" is written only where a parameter follows it.
    if (message.ContentType.empty() || message.CharSet.empty()) {
        message.ContentType += message.CharSet;
    } else {
        message.ContentType += ";" + message.CharSet;
    }
    const std::unique_ptr<TIdHeaderList> headers = message.BuildHeaderList();
    if (headers->FindHeader("Message-ID") < 0) {
        headers->SetHeader("Message-ID", NewMessageId(message));
    }
    for (const std::string& line : headers->Lines()) {
        Line(ShortenHeaderLine(line));
    }
    return counts;
}

void TIdMessageWriter::WriteMessageBody(TIdMessage& message, int attachments, int related, int texts)
{
    if (report_.OnBodyBegin) {
        report_.OnBodyBegin();
    }
    const TScopeExit bodyEnd([this] {
        if (report_.OnBodyEnd) {
            report_.OnBodyEnd();
        }
    });
    if (attachments > 0) {
        const std::string& boundary = related > 0 ? boundaries_.related : boundaries_.mixed;
        Line(kPreamble);
        Line("");
        Line("--" + boundary);
        if (texts == 0) {
            Line("Content-Type: text/plain");
            Line(bodyQuotedPrintable_ ? "Content-Transfer-Encoding: quoted-printable"
                                      : "Content-Transfer-Encoding: 7bit");
            Line("");
            WriteBodyLines(message.Body, false);
        } else {
            Line("Content-Type: multipart/alternative; ");
            Line(kContinuationIndent + "boundary=\"" + boundaries_.alternative + "\"");
            Line("");
            WriteTextParts(message, boundaries_.alternative);
        }
        for (int index = 0; index < message.Parts.Count(); ++index) {
            if (auto* attachment = dynamic_cast<TIdAttachment*>(&message.Parts.Items(index))) {
                Line("");
                Line("--" + boundary);
                Status("Encoding attachment");
                WriteAttachmentPart(*attachment);
            }
        }
        Line("--" + boundary + "--");
    } else if (texts == 0) {
        Status("Encoding text");
        WriteBodyLines(message.Body, true);
    } else {
        Line(kPreamble);
        Line("");
        WriteTextParts(message, boundaries_.mixed);
    }
}

void TIdMessageWriter::WriteTextParts(TIdMessage& message, const std::string& boundary)
{
    for (int index = 0; index < message.Parts.Count(); ++index) {
        if (auto* text = dynamic_cast<TIdText*>(&message.Parts.Items(index))) {
            Line("--" + boundary);
            Status("Encoding text");
            WriteTextPart(*text);
        }
    }
    Line("--" + boundary + "--");
}

void TIdMessageWriter::WriteBodyLines(const std::vector<std::string>& lines, bool convert)
{
    const TIdHeaderEncoding encoding = SelectHeaderCharset();
    if (bodyQuotedPrintable_) {
        const std::string encoded = EncodeEachLine(*NewEncoder("text/plain", "quoted-printable"), lines);
        sink_(convert ? ConvertForSending(encoded, encoding) : encoded);
        return;
    }
    for (const std::string& entry : lines) {
        for (const std::string& line : SplitLines(entry)) {
            Line(convert ? ConvertForSending(line, encoding) : line);
        }
    }
}

void TIdMessageWriter::WriteTextPart(TIdText& part)
{
    const TEncodedPart& content = Encoded(part);
    Line("Content-Type: " + part.ContentType());
    Line("Content-Transfer-Encoding: " + part.ContentTransfer());
    for (const std::string& line : part.ExtraHeaders.Lines()) {
        Line(line);
    }
    Line("");
    content.WriteTo(sink_);
    Line("");
}

void TIdMessageWriter::WriteAttachmentPart(TIdAttachment& part)
{
    const TEncodedPart& content = Encoded(part);
    const std::string name = std::filesystem::path(part.FileName).filename().string();
    Line("Content-Type: " + part.ContentType() + ";");
    Line(FileNameParameter("name", name, TIdFileNameForm::EncodedWords, kContinuationIndent));
    Line("Content-Transfer-Encoding: " + part.ContentTransfer());
    Line("Content-Disposition: " + part.ContentDisposition() + ";");
    Line(FileNameParameter("filename", name, TIdFileNameForm::Rfc2231, kContinuationIndent));
    for (const std::string& line : part.ExtraHeaders.Lines()) {
        Line(line);
    }
    Line("");
    content.WriteTo(sink_);
    Line("");
}
