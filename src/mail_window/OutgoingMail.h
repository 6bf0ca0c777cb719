#pragma once

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

class TIdMessage;

namespace quietpane {

// What the Send Email tab and the account hold when "Send" is pressed.
struct TComposedMail {
    QString fromName;
    QString fromAddress;
    QString to; // comma-separated
    QString cc; // comma-separated
    QString subject;
    QString body;            // lines separated by "\n"
    QStringList attachments; // full paths, in list order
    QString inReplyTo;       // the message answered, by its Message-ID; empty for a new one
    QString references;      // the thread up to the message answered
};

// A reply as the Send Email tab starts it.
struct TReplyDraft {
    QString to;
    QString subject;
    QString body;
    QString inReplyTo;
    QString references;
};

// The answer to a received message whose text the reader sees as shownText: to its sender, under
// one "Re: ", with the text quoted below an empty line to write in, in the message's thread.
TReplyDraft StartReply(const TIdMessage& received, const QString& shownText);

// The lines of an editor's text as the message holds them (UTF-8): an empty text has none,
// and a final line end opens no further line.
std::vector<std::string> EditorLines(const QString& text);

// Makes the message exactly what the window shows: everything it held before (a message read,
// attachments added earlier) goes. A body of plain ASCII lines that SMTP takes as they are is
// sent as it stands; any other body goes out as UTF-8 quoted-printable, declared as such.
void ComposeMessage(TIdMessage& message, const TComposedMail& mail);

// The subject of a reply: "Re: " in front, unless the subject already starts with it.
QString ReplySubject(const QString& subject);
// Every line of the text behind "> ".
QString QuoteForReply(const QString& text);

} // namespace quietpane
