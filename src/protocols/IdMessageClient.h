#pragma once

#include <memory>
#include <string>

#include "message/IdMessage.h"
#include "message/IdMessageWriter.h"
#include "net/IdTCPClient.h"

class TIdMessageReader;

// A TCP client that writes a message to its connection in wire form (for SMTP DATA) and reads
// one back from a dot-terminated block (POP3 TOP and RETR). The message writer and reader do
// the work; this adds the connection's dot-stuffing and unstuffing.
class TIdMessageClient : public TIdTCPClient {
public:
    using TPartCounts = TIdMessageWriter::TPartCounts;

    TIdMessageClient();
    ~TIdMessageClient() override;

    // Writing. Everything goes out dot-stuffed; the terminating "." line is the caller's.
    virtual void WriteMessage(TIdMessage& message);
    // Counts the parts, sets the message content type and writes the header lines.
    TPartCounts WriteHeaderBlock(TIdMessage& message);
    void WriteMessageBody(TIdMessage& message, int attachments, int related, int texts);
    void WriteTextPart(TIdText& part);
    void WriteAttachmentPart(TIdAttachment& part);

    // Reading. The header block up to endLine (the empty line for POP3) into ReceivedHeaders,
    // then the fields from it.
    virtual void ReadMessageHeader(TIdMessage& message, const std::string& endLine = "");
    // True when the header block just read ended with the message itself (no body).
    bool MessageEnded() const { return messageEnded_; }
    // The rest of the message up to the line ".": into Body with NoDecode, else into Parts,
    // every attachment decoded into a temporary file of its own.
    virtual void ReadMessageBody(TIdMessage& message);

protected:
    // Acts on one item ("code;text") of the MIME body decoder while ReadMessageBody runs.
    void HandleDecoderItem(const std::string& item);

private:
    class TWire;

    TIdMessageWriter& Writer();

    std::unique_ptr<TWire> wire_;
    TIdMessageReader* reader_ = nullptr; // while ReadMessageBody runs
    bool messageEnded_ = false;
};
