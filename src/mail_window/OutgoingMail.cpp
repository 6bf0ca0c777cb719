#include "mail_window/OutgoingMail.h"

#include "mail_window/ReceivedText.h"
#include "message/IdCoderText.h"
#include "message/IdMessage.h"
#include "message/IdMessageContent.h"

#include <algorithm>
#include <string>
#include <vector>

namespace quietpane {

namespace {

// Plain ASCII goes as it stands (the writer itself breaks a line too long for the wire); any
// other text is labelled UTF-8, or receivers would guess its charset.
bool PlainAscii(const std::vector<std::string>& lines)
{
    return std::all_of(lines.begin(), lines.end(), [](const std::string& line) {
        return std::all_of(line.begin(), line.end(),
                           [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    });
}

// The lines as the quoted-printable coder writes them: none longer than 76 characters.
std::vector<std::string> QuotedPrintableLines(const std::vector<std::string>& lines)
{
    TIdQuotedPrintableEncoder encoder;
    encoder.DiscardEvents = true;
    std::string encoded;
    auto take = [&](std::string item) {
        for (; !item.empty(); item = encoder.TakeNextItem())
            encoded += item.substr(item.find(';') + 1);
    };
    for (const std::string& line : lines) {
        take(encoder.FeedInput(line + "\r\n"));
        take(encoder.FinishInput());
    }
    std::vector<std::string> result;
    for (std::size_t start = 0, end; (end = encoded.find("\r\n", start)) != std::string::npos;
         start = end + 2)
        result.push_back(encoded.substr(start, end - start));
    return result;
}

} // namespace

std::vector<std::string> EditorLines(const QString& text)
{
    std::vector<std::string> lines;
    if (text.isEmpty())
        return lines;
    QStringList parts = text.split(QLatin1Char('\n'));
    if (parts.size() > 1 && parts.constLast().isEmpty())
        parts.removeLast();
    for (const QString& line : parts)
        lines.push_back(line.toStdString());
    return lines;
}

void ComposeMessage(TIdMessage& message, const TComposedMail& mail)
{
    message.Clear();
    message.From.Address = mail.fromAddress.toStdString();
    message.From.Name = mail.fromName.toStdString();
    message.Recipients.SetAddressListText(mail.to.toStdString());
    message.Subject = mail.subject.toStdString();
    const std::vector<std::string> lines = EditorLines(mail.body);
    message.CCList.SetAddressListText(mail.cc.toStdString());
    message.References = mail.references.toStdString();
    message.ExtraHeaders.SetHeader("In-Reply-To", mail.inReplyTo.toStdString());
    if (PlainAscii(lines)) {
        message.Body = lines;
    } else if (mail.attachments.isEmpty()) {
        message.ContentType = "text/plain";
        message.CharSet = " charset=UTF-8";
        message.ContentTransferEncoding = "quoted-printable";
        message.ExtraHeaders.SetHeader("MIME-Version", "1.0");
        message.Body = QuotedPrintableLines(lines);
    } else {
        // Beside attachments the text travels as a part of its own, which the writer encodes.
        TIdText& text = message.Parts.AddText(lines);
        text.SetContentType("text/plain; charset=UTF-8");
        text.SetContentTransfer("quoted-printable");
    }
    for (const QString& path : mail.attachments)
        message.Parts.AddAttachment(path.toStdString());
}

TReplyDraft StartReply(const TIdMessage& received, const QString& shownText)
{
    const QString identifier = FromLibraryText(received.MessageIdentifier);
    const QString references = FromLibraryText(received.References).trimmed();
    return {FromLibraryText(QuotedAddressText(received.From)),
            ReplySubject(FromLibraryText(received.Subject)),
            QStringLiteral("\n\n") + QuoteForReply(shownText), identifier,
            (references + QLatin1Char(' ') + identifier).trimmed()};
}

QString ReplySubject(const QString& subject)
{
    if (subject.startsWith(QStringLiteral("Re:"), Qt::CaseInsensitive))
        return subject;
    return QStringLiteral("Re: ") + subject;
}

QString QuoteForReply(const QString& text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines)
        line.prepend(QStringLiteral("> "));
    return lines.join(QLatin1Char('\n'));
}

} // namespace quietpane
