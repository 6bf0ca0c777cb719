#include "mail_window/ReceivedText.h"

#include "message/IdHeaderCoder.h"
#include "message/IdMessage.h"
#include "message/IdMessageContent.h"
#include "message/IdMimeParameters.h"
#include "net/IdGlobal.h"

namespace quietpane {

namespace {

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
    const QByteArray data = QByteArray::fromRawData(text.data(), static_cast<qsizetype>(text.size()));
    // Decoded once: what does not come back byte for byte was no UTF-8.
    QString decoded = QString::fromUtf8(data);
    return decoded.toUtf8() == data ? decoded : QString::fromLatin1(data);
}

QString DecodeCharsetText(const std::string& bytes, const std::string& charset)
{
    // A body declared US-ASCII that carries 8-bit bytes is read as if it named nothing.
    if (!charset.empty() && !SameTextNoCase(charset, "us-ascii")) {
        if (IsCharsetKnown(charset))
            return FromLibraryText(CharsetToUtf8(charset, bytes));
    }
    return FromLibraryText(bytes);
}

QString DecodeTextPart(const TIdMessage& message, const TIdText& part)
{
    QString text = DecodeCharsetText(
        JoinedBody(part), TIdMimeHeaderValue(TextPartContentType(message, part)).Parameter("charset"));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

TShownBody ChooseShownBody(const TIdMessage& message)
{
    const TIdMainText main = MainTextPart(message);
    if (main.part == nullptr)
        return {};
    return {DecodeTextPart(message, *main.part), main.html};
}

} // namespace quietpane
