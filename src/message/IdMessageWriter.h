#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "message/IdMessage.h"

class TIdCoder;

class EIdTextInvalidCount : public EIdException {
public:
    EIdTextInvalidCount() : EIdException("Invalid Text count. TIdText must be greater than 1") {}
};

// Where the writer puts the message's bytes.
using TIdByteSink = std::function<void(std::string_view bytes)>;

// What the writer reports as it goes, to whoever carries its bytes; every member may be empty.
struct TIdMessageWriterReport {
    std::function<void(const std::string& text)> OnStatus; // "Encoding text", "Encoding attachment"
    std::function<void()> OnBodyBegin;
    std::function<void()> OnBodyEnd; // also when writing the body fails
};

// Writes a message in wire form: the header block generated from its fields, an empty line and
// the body (plain, or multipart with quoted-printable texts and base64 attachments). Every line
// ends in CR LF and stays within 998 characters where the writer shapes it; transfer stuffing
// (leading dots) is the connection's. Boundaries are chosen so that no line of the content they
// enclose begins with them.
class TIdMessageWriter {
public:
    struct TPartCounts {
        int attachments = 0;
        int related = 0; // attachments carrying a Content-ID
        int texts = 0;
    };

    explicit TIdMessageWriter(TIdByteSink sink, TIdMessageWriterReport report = {});
    ~TIdMessageWriter();
    TIdMessageWriter(const TIdMessageWriter&) = delete;
    TIdMessageWriter& operator=(const TIdMessageWriter&) = delete;

    void WriteMessage(TIdMessage& message);
    // Counts the parts, sets the message content type and writes the header lines.
    TPartCounts WriteHeaderBlock(TIdMessage& message);
    void WriteMessageBody(TIdMessage& message, int attachments, int related, int texts);
    void WriteTextPart(TIdText& part);
    void WriteAttachmentPart(TIdAttachment& part);

    // The whole message as text.
    static std::string MessageText(TIdMessage& message);

private:
    class TEncodedPart;
    struct TBoundaries {
        std::string mixed;
        std::string related;
        std::string alternative;
    };

    static TPartCounts CountParts(const TIdMessage& message);
    // Encodes every part ahead of the header block, which names the boundaries.
    void EncodeParts(TIdMessage& message);
    // The part's content in its transfer encoding, made once per message.
    TEncodedPart& Encoded(TIdMessagePart& part);
    // Both fill in the empty defaults of the part, which keeps them.
    static std::unique_ptr<TEncodedPart> EncodeText(TIdText& part);
    static std::unique_ptr<TEncodedPart> EncodeAttachment(TIdAttachment& part);
    void Line(std::string_view text);
    void Status(const std::string& text);
    void WriteTextParts(TIdMessage& message, const std::string& boundary);
    // convert: into the charset that outgoing text is labelled with.
    void WriteBodyLines(const std::vector<std::string>& lines, bool convert);

    TIdByteSink sink_;
    TIdMessageWriterReport report_;
    TBoundaries boundaries_;
    std::map<const TIdMessagePart*, std::unique_ptr<TEncodedPart>> encoded_;
    bool bodyQuotedPrintable_ = false; // the message's Body, for a line too long to go as it is
};
