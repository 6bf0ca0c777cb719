#pragma once

#include <string>
#include <vector>

#include "message/IdEMailAddress.h"
#include "message/IdMessage.h"

// What a reader of a received message is shown of it: which text, which parts are attachments,
// and how the sender is written back in a reply.

// The Content-Type that governs a text part. A single-part body is read into a part without
// header lines; the message's own header then says what it is.
std::string TextPartContentType(const TIdMessage& message, const TIdText& part);

// The text a reader sees of a message.
struct TIdMainText {
    const TIdText* part = nullptr; // null: the message has no text part
    bool html = false;             // markup, to show formatted
};

// The plain-text alternative when the message has one (the last, as with several texts), else an
// HTML text, else the last text part of any kind. In a multipart message a text without header
// lines is a preamble or an epilogue, never the plain text.
TIdMainText MainTextPart(const TIdMessage& message);

// One attachment as a list of them shows it.
struct TIdListedAttachment {
    int index = 0;            // position in the message's Parts: the one sure way back to the part
    std::string name;         // the name the sender gave; "attachment-N.ext" when it gave none
    std::string contentType;  // as the part's header says
    bool undecodable = false; // its content could not be decoded; StoredFileName holds it as sent
};

// The attachments in message order; N counts attachments from 1.
std::vector<TIdListedAttachment> ListedAttachments(const TIdMessage& message);

// An address as a recipient box holds it: a display name in double quotes (backslash before a
// quote or backslash), so that a comma in it never splits it into two recipients.
std::string QuotedAddressText(const TIdEMailAddressItem& address);
