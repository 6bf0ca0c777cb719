#include "mail_window/ReceivedText.h"

#include "message/IdHeaderCoder.h"
#include "message/IdMessage.h"
#include "message/IdMimeParameters.h"
#include "net/IdGlobal.h"

namespace quietpane {

namespace {

std::string MediaType(const std::string& contentType)
{
    return TIdMimeHeaderValue(contentType).Value();
}

bool IsValidUtf8(const std::string& bytes)
{
    const QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return QString::fromUtf8(data).toUtf8() == data;
}

// The Content-Type that governs a text part. The reader puts a single-part body into a part
// without header lines; the message's own header then says what it is.
std::string PartContentType(const TIdMessage& message, const TIdText& part)
{
    std::string own = part.ContentType();
    if (!own.empty() || MediaType(message.ContentType).rfind("multipart/", 0) == 0)
        return own;
    return message.ContentType;
}

std::string JoinedBody(const TIdText& part)
{
    std::string text;
    for (const std::string& entry : part.Body)
        text += entry;
    return text;
}

} // namespace

QString FromLibraryText(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString DecodeCharsetText(const std::string& bytes, const std::string& charset)
{
    // A body declared US-ASCII that carries 8-bit bytes is read as if it named nothing.
    if (!charset.empty() && !SameTextNoCase(charset, "us-ascii")) {
        if (IsCharsetKnown(charset))
            return FromLibraryText(CharsetToUtf8(charset, bytes));
    }
    if (IsValidUtf8(bytes))
        return FromLibraryText(bytes);
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QString DecodeTextPart(const TIdMessage& message, const TIdText& part)
{
    QString text = DecodeCharsetText(JoinedBody(part),
                                     TIdMimeHeaderValue(PartContentType(message, part)).Parameter("charset"));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

TShownBody ChooseShownBody(const TIdMessage& message)
{
    const TIdText* lastPlain = nullptr;
    const TIdText* lastHtml = nullptr;
    const TIdText* lastText = nullptr;
    const bool multipart = MediaType(message.ContentType).rfind("multipart/", 0) == 0;
    for (int index = 0; index < message.Parts.Count(); ++index) {
        const auto* text = dynamic_cast<const TIdText*>(&message.Parts.Items(index));
        if (text == nullptr)
            continue;
        lastText = text;
        const std::string type = MediaType(PartContentType(message, *text));
        // In a multipart message a text without header lines is the preamble or epilogue.
        if (type == "text/plain" || (type.empty() && !multipart))
            lastPlain = text;
        else if (type == "text/html")
            lastHtml = text;
    }
    if (lastPlain != nullptr)
        return {DecodeTextPart(message, *lastPlain), false};
    if (lastHtml != nullptr)
        return {DecodeTextPart(message, *lastHtml), true};
    if (lastText != nullptr)
        return {DecodeTextPart(message, *lastText), false};
    return {};
}

} // namespace quietpane
