#include "message/IdMessageClient.h"

#include <cerrno>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string_view>
#include <system_error>

#include "message/IdCoder.h"
#include "message/IdCoderIMF.h"
#include "message/IdHeaderCoder.h"
#include "net/IdGlobal.h"

namespace {

const std::string MixedBoundary = "=_NextPart_2rfkvidasadvnqw3nerasdf";
const std::string RelatedBoundary = "=_NextPart_2relrfksadvnqvidaw3nerasdf";
const std::string AlternativeBoundary = "=_NextPart_2altrfkvidasadvnqw3nerasdf";
const std::string Preamble = "This is a multi-part message in MIME format";
const std::string ContinuationIndent = "        ";
constexpr std::size_t AttachmentChunk = 57; // one base64 line of 76 characters
constexpr std::size_t MaxFileNameBytes = 255;

// Makes text safe for the DATA stream: every bare CR and bare LF becomes CR LF, so that no
// server can read a line end into it that we did not mean, and a line that begins with "."
// gets a second one. The state carries over from one chunk to the next.
class TDotStuffer {
public:
    std::string Convert(std::string_view chunk)
    {
        std::string out;
        out.reserve(chunk.size() + 8);
        for (const char c : chunk) {
            if (pendingCR_) {
                pendingCR_ = false;
                EndLine(out);
                if (c == '\n') {
                    continue;
                }
            }
            if (c == '\r') {
                pendingCR_ = true;
            } else if (c == '\n') {
                EndLine(out);
            } else {
                if (atLineStart_ && c == '.') {
                    out += '.';
                }
                out += c;
                atLineStart_ = false;
            }
        }
        return out;
    }
    std::string Finish()
    {
        std::string out;
        if (pendingCR_) {
            pendingCR_ = false;
            EndLine(out);
        }
        return out;
    }
    bool AtLineStart() const { return atLineStart_ && !pendingCR_; }
    void SetAtLineStart(bool value) { atLineStart_ = value; }

private:
    void EndLine(std::string& out)
    {
        out += "\r\n";
        atLineStart_ = true;
    }

    bool atLineStart_ = true;
    bool pendingCR_ = false;
};

// Strips the "0;" of a coder's data item; an event item yields nothing.
std::string_view ItemData(const std::string& item)
{
    if (item.size() >= 2 && item[0] == '0' && item[1] == ';') {
        return std::string_view(item).substr(2);
    }
    return {};
}

void ThrowFileError(const std::string& action, const std::string& name)
{
    throw std::system_error(errno, std::generic_category(), action + " \"" + name + "\"");
}

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

private:
    std::string name_;
};

// Ends a work span when the scope ends.
class TWorkSpan {
public:
    TWorkSpan(TIdComponent& component, TWorkMode mode) : component_(component), mode_(mode)
    {
        component_.StartWork(mode_, 0);
    }
    ~TWorkSpan() { component_.FinishWork(mode_); }
    TWorkSpan(const TWorkSpan&) = delete;
    TWorkSpan& operator=(const TWorkSpan&) = delete;

private:
    TIdComponent& component_;
    TWorkMode mode_;
};

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

std::unique_ptr<TIdCoder> NewCoder(const std::string& contentType, const std::string& encoding, uint8_t kind)
{
    return CoderRegistry().FindCoder(contentType, encoding, kind).Create();
}

} // namespace

std::string SafeAttachmentFileName(const std::string& name)
{
    // Both separators count: names come from every kind of sender.
    const std::size_t folderEnd = name.find_last_of("/\\");
    std::string base = folderEnd == std::string::npos ? name : name.substr(folderEnd + 1);
    std::string safe;
    for (const char c : base) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            safe += c;
        }
    }
    safe.erase(0, safe.find_first_not_of(". "));
    if (safe.size() > MaxFileNameBytes) {
        std::size_t cut = MaxFileNameBytes;
        // Never cut a UTF-8 sequence in half.
        while (cut > 0 && (static_cast<unsigned char>(safe[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        safe.resize(cut);
    }
    safe.erase(safe.find_last_not_of(' ') + 1);
    return safe.empty() ? "attachment" : safe;
}

// ---------------------------------------------------------------- writing

// Everything the writer puts on the connection passes through one stuffer, so that the wire
// never carries a line that the server could take for the end of the data.
class TIdMessageClient::TWireWriter {
public:
    explicit TWireWriter(TIdTCPConnection& connection) : connection_(connection) {}

    void Text(std::string_view text)
    {
        const std::string stuffed = stuffer_.Convert(text);
        connection_.WriteText(stuffed);
    }
    void Line(std::string_view text)
    {
        std::string line(text);
        line += "\r\n";
        Text(line);
    }
    // Text that is already safe, ending at a line end.
    void StuffedText(const std::string& text)
    {
        connection_.WriteText(text);
        stuffer_.SetAtLineStart(true);
    }
    void StuffedStream(std::istream& stream)
    {
        connection_.WriteStreamContent(stream, true, false);
        stuffer_.SetAtLineStart(true);
    }

private:
    TIdTCPConnection& connection_;
    TDotStuffer stuffer_;
};

struct TIdMessageClient::TReadState {
    explicit TReadState(TIdMessage& target) : message(target) {}

    TIdMessage& message;
    int phase = 0;
    bool partCreated = false;
    bool skipNextData = false;
    // A delimiter came and its header block ended without a header line: the next data opens
    // a part of its own.
    bool delimiterSeen = false;
    bool headerlessPart = false;
    TIdMessagePart* current = nullptr;
    std::ofstream file; // the current part's file, when that is an attachment
    std::unique_ptr<TIdCoder> decoder;
};

TIdMessageClient::TIdMessageClient() = default;

TIdMessageClient::~TIdMessageClient() = default;

TIdMessageClient::TWireWriter& TIdMessageClient::Wire()
{
    if (!wire_) {
        wire_ = std::make_unique<TWireWriter>(*this);
    }
    return *wire_;
}

void TIdMessageClient::WriteMessage(TIdMessage& message)
{
    // Each message starts at the beginning of a line.
    wire_ = std::make_unique<TWireWriter>(*this);
    const TPartCounts counts = WriteHeaderBlock(message);
    // Beside attachments one text part is a body of its own; alone it would be a multipart of one.
    if (counts.texts == 1 && counts.attachments == 0) {
        throw EIdTextInvalidCount();
    }
    Wire().Line("");
    WriteMessageBody(message, counts.attachments, counts.related, counts.texts);
}

TIdMessageClient::TPartCounts TIdMessageClient::WriteHeaderBlock(TIdMessage& message)
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
    if (counts.related > 0) {
        message.ContentType =
            "multipart/related; type=\"multipart/alternative\"; boundary=\"" + RelatedBoundary + "\"";
    } else if (counts.attachments > 0) {
        message.ContentType = "multipart/mixed; boundary=\"" + MixedBoundary + "\"";
    } else if (counts.texts > 0) {
        message.ContentType = "multipart/alternative; boundary=\"" + MixedBoundary + "\"";
    }
    message.ContentType =
        message.ContentType.empty() ? message.CharSet : message.ContentType + ";" + message.CharSet;
    const std::unique_ptr<TIdHeaderList> headers = message.BuildHeaderList();
    for (const std::string& line : headers->Lines()) {
        Wire().Line(line);
    }
    return counts;
}

void TIdMessageClient::WriteMessageBody(TIdMessage& message, int attachments, int related, int texts)
{
    const bool convertJapanese = SelectHeaderCharset().ConvertJapanese;
    TWorkSpan work(*this, wkWrite);
    if (attachments > 0) {
        const std::string& boundary = related > 0 ? RelatedBoundary : MixedBoundary;
        Wire().Line(Preamble);
        Wire().Line("");
        Wire().Line("--" + boundary);
        if (texts == 0) {
            Wire().Line("Content-Type: text/plain");
            Wire().Line("Content-Transfer-Encoding: 7bit");
            Wire().Line("");
            WriteBodyLines(message.Body, false);
        } else {
            Wire().Line("Content-Type: multipart/alternative; ");
            Wire().Line(ContinuationIndent + "boundary=\"" + AlternativeBoundary + "\"");
            Wire().Line("");
            WriteTextParts(message, AlternativeBoundary);
        }
        for (int index = 0; index < message.Parts.Count(); ++index) {
            if (auto* attachment = dynamic_cast<TIdAttachment*>(&message.Parts.Items(index))) {
                Wire().Line("");
                Wire().Line("--" + boundary);
                ReportStatus(stStatusText, "Encoding attachment");
                WriteAttachmentPart(*attachment);
            }
        }
        Wire().Line("--" + boundary + "--");
    } else if (texts == 0) {
        ReportStatus(stStatusText, "Encoding text");
        WriteBodyLines(message.Body, convertJapanese);
    } else {
        Wire().Line(Preamble);
        Wire().Line("");
        WriteTextParts(message, MixedBoundary);
    }
}

void TIdMessageClient::WriteTextParts(TIdMessage& message, const std::string& boundary)
{
    for (int index = 0; index < message.Parts.Count(); ++index) {
        if (auto* text = dynamic_cast<TIdText*>(&message.Parts.Items(index))) {
            Wire().Line("--" + boundary);
            ReportStatus(stStatusText, "Encoding text");
            WriteTextPart(*text);
        }
    }
    Wire().Line("--" + boundary + "--");
}

void TIdMessageClient::WriteBodyLines(std::vector<std::string>& lines, bool convertJapanese)
{
    // Each entry is stored as it went out: line ends made CR LF, leading dots doubled.
    for (std::string& entry : lines) {
        TDotStuffer stuffer;
        std::string stuffed = stuffer.Convert(entry + "\r\n");
        entry = stuffed.substr(0, stuffed.size() - 2);
        Wire().StuffedText(convertJapanese ? ShiftJisToJis(stuffed) : stuffed);
    }
}

void TIdMessageClient::WriteTextPart(TIdText& part)
{
    if (part.ContentType().empty()) {
        part.SetContentType("text/plain");
    }
    if (part.ContentTransfer().empty()) {
        part.SetContentTransfer("quoted-printable");
    }
    const bool convertJapanese = SelectHeaderCharset().ConvertJapanese;
    const std::unique_ptr<TIdCoder> encoder =
        NewCoder(part.ContentType(), part.ContentTransfer(), TIdCoderItem::Encoder);
    encoder->DiscardEvents = true;
    Wire().Line("Content-Type: " + part.ContentType());
    Wire().Line("Content-Transfer-Encoding: " + part.ContentTransfer());
    for (const std::string& line : part.ExtraHeaders.Lines()) {
        Wire().Line(line);
    }
    Wire().Line("");
    for (const std::string& entry : part.Body) {
        // An entry holding line ends is several lines: each is encoded with its own CR LF.
        for (const std::string& line : SplitLines(entry)) {
            WriteCoderOutput(*encoder, encoder->FeedInput(line + "\r\n"), convertJapanese);
            WriteCoderOutput(*encoder, encoder->FinishInput(), convertJapanese);
        }
    }
    Wire().Line("");
}

void TIdMessageClient::WriteCoderOutput(TIdCoder& coder, const std::string& item, bool convertJapanese)
{
    for (std::string next = item; !next.empty(); next = coder.TakeNextItem()) {
        const std::string_view data = ItemData(next);
        if (!data.empty()) {
            Wire().Text(convertJapanese ? ShiftJisToJis(std::string(data)) : data);
        }
    }
}

void TIdMessageClient::WriteAttachmentPart(TIdAttachment& part)
{
    if (part.ContentTransfer().empty()) {
        part.SetContentTransfer("base64");
    }
    if (part.ContentDisposition().empty()) {
        part.SetContentDisposition("attachment");
    }
    const TIdCoderItem& entry =
        CoderRegistry().FindCoder(part.ContentType(), part.ContentTransfer(), TIdCoderItem::Encoder);
    if (part.ContentTransfer() == "base64" && part.ContentType().empty()) {
        part.SetContentType("application/octet-stream");
    }
    const std::unique_ptr<TIdCoder> encoder = entry.Create();
    encoder->DiscardEvents = true;
    encoder->AppendLineBreak = true;

    std::ifstream source(part.FileName, std::ios::binary);
    if (!source) {
        ThrowFileError("Cannot open file", part.FileName);
    }
    part.StoredFileName = NewTempFileName();
    const TFileRemover removeEncoded(part.StoredFileName);
    std::fstream encoded(part.StoredFileName,
                         std::ios::in | std::ios::out | std::ios::binary | std::ios::trunc);
    if (!encoded) {
        ThrowFileError("Cannot open file", part.StoredFileName);
    }
    // Encoded data is kept safe for the DATA stream whatever encoder made it.
    TDotStuffer stuffer;
    char chunk[AttachmentChunk];
    while (source.read(chunk, sizeof chunk), source.gcount() > 0) {
        std::string data(ItemData(encoder->FeedInput({chunk, static_cast<std::size_t>(source.gcount())})));
        for (std::string next = encoder->FinishInput(); !next.empty(); next = encoder->TakeNextItem()) {
            data += ItemData(next);
        }
        encoded << stuffer.Convert(data);
    }
    if (source.bad()) {
        ThrowFileError("Cannot read file", part.FileName);
    }
    encoded << stuffer.Finish();
    if (!encoded.flush()) {
        ThrowFileError("Cannot write file", part.StoredFileName);
    }

    const std::string name = std::filesystem::path(part.FileName).filename().string();
    Wire().Line("Content-Type: " + part.ContentType() + ";");
    Wire().Line(ContinuationIndent + "name=\"" + name + "\"");
    Wire().Line("Content-Transfer-Encoding: " + part.ContentTransfer());
    Wire().Line("Content-Disposition: " + part.ContentDisposition() + ";");
    Wire().Line(ContinuationIndent + "filename=\"" + name + "\"");
    for (const std::string& line : part.ExtraHeaders.Lines()) {
        Wire().Line(line);
    }
    Wire().Line("");
    Wire().StuffedStream(encoded);
    Wire().Line("");
}

// ---------------------------------------------------------------- reading

namespace {

// Which kind of part a part's first header line makes, compared in lower case.
bool StartsTextPart(const std::string& headerLine)
{
    const std::string line = LowerCase(headerLine);
    const auto contains = [&line](const char* text) { return line.find(text) != std::string::npos; };
    return (contains("text") && !contains("name")) || contains("multipart") || contains("message") ||
           contains("attachment") || line == "content-type:";
}

bool OnlyLineBreaksAndBlanks(const std::string& text)
{
    return text.find_first_not_of("\r\n \t") == std::string::npos;
}

} // namespace

void TIdMessageClient::ReadMessageHeader(TIdMessage& message, const std::string& endLine)
{
    TWorkSpan work(*this, wkRead);
    messageEnded_ = false;
    for (;;) {
        std::string line = ReadLine();
        if (line == endLine) {
            break;
        }
        // A message without a body may have no empty line before its end: the header block
        // then ends with the message, and the body reader must not wait for more.
        if (line == ".") {
            messageEnded_ = true;
            break;
        }
        if (line.rfind("..", 0) == 0) {
            line.erase(0, 1);
        }
        message.ReceivedHeaders.Add(line);
    }
    message.ApplyReceivedHeaders();
}

void TIdMessageClient::ReadMessageBody(TIdMessage& message)
{
    const bool bodyToRead = !messageEnded_;
    messageEnded_ = false;
    if (message.NoDecode) {
        TIdStringListSink sink(message.Body);
        if (bodyToRead) {
            CaptureLines(&sink, ".", true);
        }
        return;
    }
    message.Parts.Clear();
    read_ = std::make_unique<TReadState>(message);
    struct TEndRead {
        std::unique_ptr<TReadState>& state;
        ~TEndRead() { state.reset(); } // closes the file and frees the decoder on every way out
    } endRead{read_};

    read_->decoder = std::make_unique<TIdIMFDecoder>();
    read_->current = &message.Parts.AddText();
    // A failure to decode ends the decoding, not the reading: the rest of the message is still
    // read up to its ".", so that the session stays in step with the server.
    std::exception_ptr failure;
    const auto decode = [this, &failure](const std::function<std::string()>& firstItem) {
        if (failure) {
            return;
        }
        try {
            for (std::string item = firstItem(); !item.empty(); item = read_->decoder->TakeNextItem()) {
                HandleDecoderItem(item);
            }
        } catch (...) {
            failure = std::current_exception();
            KeepItemsDecodedSoFar();
        }
    };
    const std::string wholeBody = "Content-Type: " + message.ContentType +
                                  "\r\nContent-Transfer-Encoding: " + message.ContentTransferEncoding +
                                  "\r\n\r\n";
    decode([&] { return read_->decoder->FeedInput(wholeBody); });
    TIdByteStreamSink sink(
        [&](std::string_view bytes) { decode([&] { return read_->decoder->FeedInput(bytes); }); });
    if (bodyToRead) {
        CaptureLines(&sink, ".", true);
    }
    decode([&] { return read_->decoder->FinishInput(); });
    if (failure) {
        std::rethrow_exception(failure);
    }
}

void TIdMessageClient::KeepItemsDecodedSoFar()
{
    // The items the decoder produced before it failed still build their parts.
    try {
        for (std::string item = read_->decoder->TakeNextItem(); !item.empty();
             item = read_->decoder->TakeNextItem()) {
            HandleDecoderItem(item);
        }
    } catch (...) {
        // The first failure is the one reported.
    }
}

void TIdMessageClient::StartAttachmentFile(TIdAttachment& attachment)
{
    TReadState& state = *read_;
    if (state.file.is_open()) {
        state.file.close();
    }
    attachment.StoredFileName = NewTempFileName();
    state.file.clear();
    state.file.open(attachment.StoredFileName, std::ios::binary | std::ios::trunc);
    if (!state.file) {
        ThrowFileError("Cannot open file", attachment.StoredFileName);
    }
}

void TIdMessageClient::ReplacePart(TIdMessagePart& part, TIdMessagePart& replacement)
{
    replacement.PartHeaders = part.PartHeaders;
    TIdMessageParts& parts = read_->message.Parts;
    for (int index = 0; index < parts.Count(); ++index) {
        if (&parts.Items(index) == &part) {
            parts.Delete(index);
            return;
        }
    }
}

void TIdMessageClient::HandleDecoderItem(const std::string& item)
{
    TReadState& state = *read_;
    const std::size_t separator = item.find(';');
    const int code = StrToIntDef(item.substr(0, separator), -1);
    const std::string text = separator == std::string::npos ? std::string() : item.substr(separator + 1);
    TIdMessageParts& parts = state.message.Parts;

    switch (code) {
    case 0:
        if (state.skipNextData) {
            state.skipNextData = false;
            return;
        }
        if (state.phase != 2 || text.empty()) {
            return;
        }
        if (state.headerlessPart) {
            // Content of a part without header lines gets a part and a file of its own, so it
            // never lands in an earlier attachment.
            if (OnlyLineBreaksAndBlanks(text)) {
                return;
            }
            state.headerlessPart = false;
            TIdAttachment& attachment = parts.AddAttachment();
            state.current = &attachment;
            StartAttachmentFile(attachment);
        }
        if (auto* textPart = dynamic_cast<TIdText*>(state.current)) {
            textPart->Body.push_back(text);
        } else if (state.file.is_open()) {
            state.file.write(text.data(), static_cast<std::streamsize>(text.size()));
            if (!state.file) {
                ThrowFileError("Cannot write file", state.current->StoredFileName);
            }
        }
        return;
    case 5: {
        TIdAttachment* attachment = dynamic_cast<TIdAttachment*>(state.current);
        if (attachment == nullptr) {
            TIdAttachment& added = parts.AddAttachment();
            ReplacePart(*state.current, added);
            state.current = attachment = &added;
        }
        attachment->FileName = DecodeHeaderText(text);
        if (attachment->StoredFileName.empty()) {
            StartAttachmentFile(*attachment);
        }
        return;
    }
    case 21:
        state.phase = 2;
        state.headerlessPart = state.delimiterSeen && !state.partCreated;
        return;
    case 23:
        if (state.phase != 2) {
            return;
        }
        if (!state.partCreated) {
            if (state.file.is_open()) {
                state.file.close();
            }
            if (StartsTextPart(text)) {
                state.current = &parts.AddText();
            } else {
                TIdAttachment& attachment = parts.AddAttachment();
                state.current = &attachment;
                // Every attachment has its own file from the start, even one that never
                // reports a file name.
                StartAttachmentFile(attachment);
            }
            state.partCreated = true;
        }
        state.current->PartHeaders.Add(text);
        state.skipNextData = true;
        return;
    case 24:
        state.skipNextData = true;
        state.partCreated = false;
        state.delimiterSeen = true;
        state.headerlessPart = false;
        return;
    case 25:
        state.skipNextData = true;
        return;
    case 26:
        state.phase = 1;
        return;
    default:
        return;
    }
}
