#include "message/IdMessageReader.h"

#include <cerrno>
#include <system_error>
#include <utility>

#include "message/IdCoderIMF.h"
#include "message/IdMimeParameters.h"
#include "net/IdGlobal.h"

namespace {

void ThrowFileError(const std::string& action, const std::string& name)
{
    throw std::system_error(errno, std::generic_category(), action + " \"" + name + "\"");
}

// Whether a part with these header lines is an attachment: a part that is no multipart container
// or enclosed message and that names a file or holds no text.
bool HoldsAttachment(const TIdHeaderList& headers)
{
    const TIdMimeHeaderValue type(headers.GetHeader("Content-Type"));
    const TIdMimeHeaderValue disposition(headers.GetHeader("Content-Disposition"));
    const std::string& mediaType = type.Value();
    // An enclosed message is text to show, whatever name it carries.
    if (mediaType.starts_with("multipart/") || mediaType.starts_with("message/")) {
        return false;
    }
    if (disposition.HasParameter("filename") || type.HasParameter("name")) {
        return true;
    }
    // A type without a subtype is no valid type; such a part is read as plain text.
    return !(mediaType.find('/') == std::string::npos || mediaType.starts_with("text/"));
}

// The file name the sender gave, from the disposition or else from the content type.
std::string AttachmentFileName(const TIdHeaderList& headers)
{
    const TIdMimeHeaderValue disposition(headers.GetHeader("Content-Disposition"));
    if (disposition.HasParameter("filename")) {
        return disposition.DisplayParameter("filename");
    }
    return TIdMimeHeaderValue(headers.GetHeader("Content-Type")).DisplayParameter("name");
}

// A header field ("Name:" with a name of printable characters), a continuation line or the
// "From " line of a mailbox file.
bool LooksLikeHeaderLine(const std::string& line)
{
    if (line[0] == ' ' || line[0] == '\t' || line.starts_with("From ")) {
        return true;
    }
    for (const char c : line) {
        if (c == ':') {
            return true;
        }
        if (c <= ' ' || c > '~') {
            return false;
        }
    }
    return false;
}

} // namespace

TIdMessageReader::TIdMessageReader(TIdMessage& message, TInput input)
    : message_(message), inHeader_(input == TInput::WholeMessage)
{
    if (!inHeader_) {
        StartBody();
    }
}

TIdMessageReader::~TIdMessageReader()
{
    if (file_.is_open()) {
        file_.close();
    }
}

void TIdMessageReader::ReadMessage(TIdMessage& message, std::string_view text)
{
    TIdMessageReader reader(message, TInput::WholeMessage);
    reader.Feed(text);
    reader.Finish();
}

void TIdMessageReader::Feed(std::string_view bytes)
{
    if (inHeader_) {
        FeedHeader(bytes);
    }
    if (bytes.empty() || inHeader_) {
        return;
    }
    if (message_.NoDecode) {
        FeedBodyLines(bytes);
    } else {
        Decode([&] { return decoder_->FeedInput(bytes); });
    }
}

void TIdMessageReader::FeedHeader(std::string_view& bytes)
{
    for (std::size_t end; inHeader_ && (end = bytes.find('\n')) != std::string_view::npos;) {
        unfinishedLine_.append(bytes.substr(0, end));
        bytes.remove_prefix(end + 1);
        if (!unfinishedLine_.empty() && unfinishedLine_.back() == '\r') {
            unfinishedLine_.pop_back();
        }
        if (unfinishedLine_.empty() || !LooksLikeHeaderLine(unfinishedLine_)) {
            // A line that is no header line starts the body early: some senders leave out the
            // empty line.
            std::string firstBodyLine = std::exchange(unfinishedLine_, std::string());
            inHeader_ = false;
            message_.ApplyReceivedHeaders();
            StartBody();
            if (!firstBodyLine.empty()) {
                Feed(firstBodyLine + "\r\n");
            }
        } else {
            message_.ReceivedHeaders.Add(unfinishedLine_);
            unfinishedLine_.clear();
        }
    }
    if (inHeader_) {
        unfinishedLine_.append(bytes);
        bytes = {};
    }
}

void TIdMessageReader::StartBody()
{
    if (message_.NoDecode) {
        return;
    }
    message_.Parts.Clear();
    decoder_ = std::make_unique<TIdIMFDecoder>();
    current_ = &message_.Parts.AddText();
    std::string wholeBody = "Content-Type: " + message_.ContentType +
                            "\r\nContent-Transfer-Encoding: " + message_.ContentTransferEncoding + "\r\n";
    // A single-part message may name its file in its own disposition.
    const std::string disposition = message_.ReceivedHeaders.GetHeader("Content-Disposition");
    if (!disposition.empty()) {
        wholeBody += "Content-Disposition: " + disposition + "\r\n";
    }
    Decode([&] { return decoder_->FeedInput(wholeBody + "\r\n"); });
}

void TIdMessageReader::FeedBodyLines(std::string_view bytes)
{
    for (std::size_t end; (end = bytes.find('\n')) != std::string_view::npos;) {
        unfinishedLine_.append(bytes.substr(0, end));
        bytes.remove_prefix(end + 1);
        if (!unfinishedLine_.empty() && unfinishedLine_.back() == '\r') {
            unfinishedLine_.pop_back();
        }
        message_.Body.push_back(std::exchange(unfinishedLine_, std::string()));
    }
    unfinishedLine_.append(bytes);
}

void TIdMessageReader::Finish()
{
    if (inHeader_) {
        if (!unfinishedLine_.empty()) {
            message_.ReceivedHeaders.Add(std::exchange(unfinishedLine_, std::string()));
        }
        inHeader_ = false;
        message_.ApplyReceivedHeaders();
        StartBody();
    }
    if (message_.NoDecode) {
        if (!unfinishedLine_.empty()) {
            message_.Body.push_back(std::exchange(unfinishedLine_, std::string()));
        }
        return;
    }
    Decode([&] { return decoder_->FinishInput(); });
    if (failure_) {
        if (file_.is_open()) {
            file_.close();
        }
        std::rethrow_exception(failure_);
    }
    CloseFile();
}

void TIdMessageReader::Decode(const std::function<std::string()>& firstItem)
{
    if (failure_) {
        return;
    }
    try {
        for (std::string item = firstItem(); !item.empty(); item = decoder_->TakeNextItem()) {
            HandleDecoderItem(item);
        }
    } catch (...) {
        failure_ = std::current_exception();
        KeepItemsDecodedSoFar();
    }
}

void TIdMessageReader::KeepItemsDecodedSoFar()
{
    // The items the decoder produced before it failed still build their parts.
    try {
        for (std::string item = decoder_->TakeNextItem(); !item.empty(); item = decoder_->TakeNextItem()) {
            HandleDecoderItem(item);
        }
    } catch (...) {
        // The first failure is the one reported.
    }
}

void TIdMessageReader::HandleDecoderItem(const std::string& item)
{
    const std::size_t separator = item.find(';');
    const int code = StrToIntDef(item.substr(0, separator), -1);
    const std::string_view text =
        separator == std::string::npos ? std::string_view() : std::string_view(item).substr(separator + 1);

    switch (code) {
    case icData:
        if (!inContent_ || current_ == nullptr || text.empty()) {
            return;
        }
        if (auto* textPart = dynamic_cast<TIdText*>(current_)) {
            textPart->Body.emplace_back(text);
        } else if (file_.is_open()) {
            file_.write(text.data(), static_cast<std::streamsize>(text.size()));
            if (!file_) {
                ThrowFileError("Cannot write file", current_->StoredFileName);
            }
        }
        return;
    case icHeaderLine:
        blockHeaders_.Add(std::string(text));
        return;
    case icHeaderBlockEnd:
        EndHeaderBlock();
        return;
    case icDelimiter:
        CloseFile();
        inContent_ = false;
        current_ = nullptr;
        blockHeaders_.Clear();
        return;
    case icClosingDelimiter:
        inContent_ = false;
        return;
    case icEndOfInput:
        phase_ = rpEnded;
        inContent_ = false;
        return;
    case icUndecodable:
    case icUndecodableRest:
        if (inContent_ && current_ != nullptr) {
            current_->DecodeFailure = std::string(text);
            if (code == icUndecodable) {
                StartOver(*current_);
            }
        }
        return;
    default:
        // File names are read from the header lines themselves, where every form of them is
        // known; other codes carry nothing for the message.
        return;
    }
}

void TIdMessageReader::EndHeaderBlock()
{
    TIdMessageParts& parts = message_.Parts;
    if (phase_ == rpStarting) {
        phase_ = rpInBody;
        // The whole body is one attachment: the first part becomes it.
        if (HoldsAttachment(blockHeaders_)) {
            parts.Delete(parts.Count() - 1);
            TIdAttachment& attachment = parts.AddAttachment();
            StartAttachment(attachment, blockHeaders_);
        }
    } else if (HoldsAttachment(blockHeaders_)) {
        StartAttachment(parts.AddAttachment(), blockHeaders_);
    } else {
        TIdText& text = parts.AddText();
        text.PartHeaders = blockHeaders_;
        current_ = &text;
    }
    blockHeaders_.Clear();
    inContent_ = true;
}

void TIdMessageReader::StartAttachment(TIdAttachment& attachment, const TIdHeaderList& headers)
{
    CloseFile();
    attachment.PartHeaders = headers;
    attachment.FileName = AttachmentFileName(headers);
    current_ = &attachment;
    attachment.OwnStoredFile(NewTempFileName());
    OpenFile(attachment.StoredFileName);
}

void TIdMessageReader::StartOver(TIdMessagePart& part)
{
    // What was decoded is dropped: the content as sent follows.
    if (auto* text = dynamic_cast<TIdText*>(&part)) {
        text->Body.clear();
    } else if (file_.is_open()) {
        CloseFile();
        OpenFile(part.StoredFileName);
    }
}

void TIdMessageReader::OpenFile(const std::string& name)
{
    file_.clear();
    file_.open(name, std::ios::binary | std::ios::trunc);
    if (!file_) {
        ThrowFileError("Cannot open file", name);
    }
}

void TIdMessageReader::CloseFile()
{
    if (!file_.is_open()) {
        return;
    }
    // A full disk may show only when the last buffered bytes go out.
    file_.close();
    if (!file_) {
        ThrowFileError("Cannot write file", current_ != nullptr ? current_->StoredFileName : std::string());
    }
}
