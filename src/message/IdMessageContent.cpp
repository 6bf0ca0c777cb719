#include "message/IdMessageContent.h"

#include <utility>

#include "message/IdHeaderCoder.h"
#include "message/IdMimeParameters.h"
#include "net/IdGlobal.h"

namespace {

std::string MediaType(const std::string& contentType)
{
    return TIdMimeHeaderValue(contentType).Value();
}

bool IsMultipart(const TIdMessage& message)
{
    return MediaType(message.ContentType).starts_with("multipart/");
}

// The extension a saved file of the type usually carries, so that the desktop opens it.
std::string ExtensionOf(const std::string& mediaType)
{
    static const std::pair<const char*, const char*> kExtensions[] = {
        {"text/plain", ".txt"},     {"text/html", ".html"},        {"text/csv", ".csv"},
        {"text/calendar", ".ics"},  {"image/png", ".png"},         {"image/jpeg", ".jpg"},
        {"image/gif", ".gif"},      {"application/pdf", ".pdf"},   {"application/zip", ".zip"},
        {"message/rfc822", ".eml"}, {"application/json", ".json"},
    };
    for (const auto& [type, extension] : kExtensions) {
        if (mediaType == type) {
            return extension;
        }
    }
    return ".bin";
}

} // namespace

std::string TextPartContentType(const TIdMessage& message, const TIdText& part)
{
    std::string own = part.ContentType();
    if (!own.empty() || IsMultipart(message)) {
        return own;
    }
    return message.ContentType;
}

TIdMainText MainTextPart(const TIdMessage& message)
{
    const TIdText* lastPlain = nullptr;
    const TIdText* lastHtml = nullptr;
    const TIdText* lastText = nullptr;
    const bool multipart = IsMultipart(message);
    for (int index = 0; index < message.Parts.Count(); ++index) {
        const auto* text = dynamic_cast<const TIdText*>(&message.Parts.Items(index));
        if (text == nullptr) {
            continue;
        }
        lastText = text;
        const std::string type = MediaType(TextPartContentType(message, *text));
        if (type == "text/plain" || (type.empty() && !multipart)) {
            lastPlain = text;
        } else if (type == "text/html") {
            lastHtml = text;
        }
    }
    if (lastPlain != nullptr) {
        return {lastPlain, false};
    }
    if (lastHtml != nullptr) {
        return {lastHtml, true};
    }
    return {lastText, false};
}

std::vector<TIdListedAttachment> ListedAttachments(const TIdMessage& message)
{
    std::vector<TIdListedAttachment> listed;
    for (int index = 0; index < message.Parts.Count(); ++index) {
        const auto* attachment = dynamic_cast<const TIdAttachment*>(&message.Parts.Items(index));
        if (attachment == nullptr) {
            continue;
        }
        const std::string contentType = attachment->ContentType();
        std::string name = attachment->FileName;
        if (Trim(name).empty()) {
            name = "attachment-" + std::to_string(listed.size() + 1) + ExtensionOf(MediaType(contentType));
        }
        listed.push_back({index, name, contentType, !attachment->DecodeFailure.empty()});
    }
    return listed;
}

std::string QuotedAddressText(const TIdEMailAddressItem& address)
{
    if (address.Name.empty()) {
        return address.Address;
    }
    return QuotedString(address.Name) + " <" + address.Address + ">";
}
