#pragma once

#include "mail_window/MailServices.h"
#include "message/IdMessage.h"
#include "protocols/IdPOP3.h"

namespace quietpane {

// The POP3 session of the mail window. A new check ends the session before it, awaiting the
// server's answer to "QUIT": only then are that session's deletions done, and the new session
// counts without the deleted messages.
class TIncomingServer final : public TIncomingService {
public:
    TIncomingServer();

    TMailboxCount Check(const TServerAccount& account) override;
    void ListHeaders(int count, const THeaderRow& onRow) override;
    void Fetch(int number, TIdMessage& message) override;
    void MarkDeleted(int number) override;
    bool SessionOpen() override;
    bool EndUndoingDeletions() override;
    void EndKeepingDeletions(int timeoutMs) override;
    void Cancel() override;

private:
    TIdPOP3 pop3_;
    TIdMessage header_; // the listing's scratch message
};

} // namespace quietpane
