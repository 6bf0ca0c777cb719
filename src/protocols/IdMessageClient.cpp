#include "protocols/IdMessageClient.h"

#include <string_view>

#include "message/IdMessageReader.h"

namespace {

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

private:
    void EndLine(std::string& out)
    {
        out += "\r\n";
        atLineStart_ = true;
    }

    bool atLineStart_ = true;
    bool pendingCR_ = false;
};

} // namespace

// The writer's bytes reach the connection through one stuffer, so that the wire never carries
// a line that the server could take for the end of the data.
class TIdMessageClient::TWire {
public:
    explicit TWire(TIdMessageClient& client)
        : writer_([this, &client](std::string_view bytes) { client.WriteText(stuffer_.Convert(bytes)); },
                  TIdMessageWriterReport{
                      [&client](const std::string& text) { client.ReportStatus(stStatusText, text); },
                      [&client] { client.StartWork(wkWrite, 0); }, [&client] { client.FinishWork(wkWrite); }})
    {
    }
    TIdMessageWriter& Writer() { return writer_; }

private:
    TDotStuffer stuffer_; // before the writer, which hands it every byte
    TIdMessageWriter writer_;
};

TIdMessageClient::TIdMessageClient() = default;

TIdMessageClient::~TIdMessageClient() = default;

TIdMessageWriter& TIdMessageClient::Writer()
{
    if (!wire_) {
        wire_ = std::make_unique<TWire>(*this);
    }
    return wire_->Writer();
}

void TIdMessageClient::WriteMessage(TIdMessage& message)
{
    // Each message starts at the beginning of a line, and its encoding files go with it.
    wire_ = std::make_unique<TWire>(*this);
    const TScopeExit endWrite([this] { wire_.reset(); });
    wire_->Writer().WriteMessage(message);
}

TIdMessageClient::TPartCounts TIdMessageClient::WriteHeaderBlock(TIdMessage& message)
{
    return Writer().WriteHeaderBlock(message);
}

void TIdMessageClient::WriteMessageBody(TIdMessage& message, int attachments, int related, int texts)
{
    Writer().WriteMessageBody(message, attachments, related, texts);
}

void TIdMessageClient::WriteTextPart(TIdText& part)
{
    Writer().WriteTextPart(part);
}

void TIdMessageClient::WriteAttachmentPart(TIdAttachment& part)
{
    Writer().WriteAttachmentPart(part);
}

void TIdMessageClient::ReadMessageHeader(TIdMessage& message, const std::string& endLine)
{
    StartWork(wkRead, 0);
    const TScopeExit endWork([this] { FinishWork(wkRead); });
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
    TIdMessageReader reader(message, TIdMessageReader::TInput::BodyOnly);
    reader_ = &reader;
    const TScopeExit endRead([this] { reader_ = nullptr; });
    TIdByteStreamSink sink([&reader](std::string_view bytes) { reader.Feed(bytes); });
    if (bodyToRead) {
        CaptureLines(&sink, ".", true);
    }
    reader.Finish();
}

void TIdMessageClient::HandleDecoderItem(const std::string& item)
{
    if (reader_ != nullptr) {
        reader_->HandleDecoderItem(item);
    }
}
