#include "mail_window/IncomingServer.h"

#include "platform/NumberText.h"

namespace quietpane {

namespace {

constexpr int kReceiveBufferSize = 1024;
// As long as a reply may take: a large mailbox's deletions take the server a while.
constexpr int kQuitReplyTimeoutMs = 30000;

} // namespace

TIncomingServer::TIncomingServer()
{
    pop3_.RecvBufferSize = kReceiveBufferSize;
}

TMailboxCount TIncomingServer::Check(const TServerAccount& account)
{
    EndKeepingDeletions(kQuitReplyTimeoutMs);
    pop3_.Host = account.host.toStdString();
    pop3_.Port = StrToInt(account.port);
    pop3_.UserId = account.userId.toStdString();
    pop3_.Password = account.password.toStdString();
    pop3_.AllowUnencrypted = account.allowPlain;
    pop3_.Connect();
    TMailboxCount count;
    count.messages = pop3_.CountMessages();
    count.bytes = pop3_.MailboxSize();
    return count;
}

void TIncomingServer::ListHeaders(int count, const THeaderRow& onRow)
{
    pop3_.FetchHeaders(1, count, header_,
                       [&onRow](int number, TIdMessage& header, int size) { onRow(number, header, size); });
}

void TIncomingServer::Fetch(int number, TIdMessage& message)
{
    if (!pop3_.FetchMessage(number, message))
        throw EIdException(pop3_.LastReply());
}

void TIncomingServer::MarkDeleted(int number)
{
    pop3_.DeleteMessage(number);
}

bool TIncomingServer::SessionOpen()
{
    return pop3_.Connected();
}

bool TIncomingServer::EndUndoingDeletions()
{
    bool undone = true;
    try {
        pop3_.ResetDeletions();
    } catch (const EIdProtocolReplyError&) {
        undone = false;
    }
    pop3_.Disconnect();
    return undone;
}

void TIncomingServer::EndKeepingDeletions(int timeoutMs)
{
    if (pop3_.Connected())
        pop3_.QuitAndAwaitDeletions(timeoutMs);
}

void TIncomingServer::Cancel()
{
    pop3_.Cancel();
}

} // namespace quietpane
