#pragma once

#include <memory>
#include <string>

#include "message/IdMessage.h"
#include "net/IdTCPClient.h"

class TIdCoder;

class EIdTextInvalidCount : public EIdException {
public:
    EIdTextInvalidCount() : EIdException("Invalid Text count. TIdText must be greater than 1") {}
};

// The file name a received message gives an attachment comes from its sender. This turns it
// into a plain base name that is safe below any folder: no folder parts, no "." or "..", no
// NUL or control characters, no leading dots or blanks, at most 255 bytes, never empty.
std::string SafeAttachmentFileName(const std::string& name);

// A TCP client that writes a message to its connection in wire form (for SMTP DATA) and reads
// one back from a dot-terminated block (POP3 TOP and RETR).
class TIdMessageClient : public TIdTCPClient {
public:
    struct TPartCounts {
        int attachments = 0;
        int related = 0; // attachments carrying a Content-ID
        int texts = 0;
    };

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
    class TWireWriter;
    struct TReadState;

    TWireWriter& Wire();
    void WriteTextParts(TIdMessage& message, const std::string& boundary);
    void WriteBodyLines(std::vector<std::string>& lines, bool convertJapanese);
    void WriteCoderOutput(TIdCoder& coder, const std::string& item, bool convertJapanese);
    void KeepItemsDecodedSoFar();
    void StartAttachmentFile(TIdAttachment& attachment);
    void ReplacePart(TIdMessagePart& part, TIdMessagePart& replacement);

    std::unique_ptr<TWireWriter> wire_;
    std::unique_ptr<TReadState> read_;
    bool messageEnded_ = false;
};
