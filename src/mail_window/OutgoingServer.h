#pragma once

#include "mail_window/MailServices.h"

class TIdMessage;
class TIdSMTP;

namespace quietpane {

// The SMTP session the window keeps open between sends. A send finds a session that is in
// step with the server or makes a fresh one: a send that failed half-way has closed its
// session, and a server drops idle sessions.
class TOutgoingServer final : public TOutgoingService {
public:
    explicit TOutgoingServer(TIdSMTP& smtp) : smtp_(smtp) {}

    // Takes the account into the client and connects; an account without a server makes no
    // connection at all.
    void Connect(const TServerAccount& account) override;
    // Sends on the open session, or on a fresh one when there is none, the server has closed
    // it or the account has changed since it was opened.
    void Send(TIdMessage& message, const TServerAccount& account) override;
    // Ends the session with "Quit"; nothing when none is open.
    void Disconnect() override;
    // Ends the session without a word to the server; a call waiting on it fails at once.
    void Drop() override;
    // Ends a send waiting on the server with its cancel error; the session is closed.
    void Cancel() override;

private:
    void Apply(const TServerAccount& account);
    bool SessionInStep();

    TIdSMTP& smtp_;
    TServerAccount sessionAccount_;
};

} // namespace quietpane
