#pragma once

#include <string>

#include "message/IdMessageClient.h"

// A POP3 mailbox session: USER and PASS on connect, then counts, sizes, header blocks, whole
// messages, deletion and its undoing, and "Quit". Message numbers are the server's, from 1.
class TIdPOP3 : public TIdMessageClient {
public:
    TIdPOP3();

    std::string UserId;
    std::string Password;
    // A session on this port speaks TLS from the first byte; on any other it asks for TLS when
    // the server offers it.
    int ImplicitTLSPort = 995;

    void Connect() override;
    void Disconnect() override;

    int CountMessages();
    // Sum of all sizes; -1 on any failure.
    int MailboxSize();
    // Size of message n; -1 on any failure.
    int MessageSize(int n);
    // The header block of message n into the message; false on any failure.
    bool FetchHeader(int n, TIdMessage& message);
    // The whole message n; false when the server refuses it, other failures raise.
    bool FetchMessage(int n, TIdMessage& message);
    bool DeleteMessage(int n);
    bool ResetDeletions();

private:
    // Asks for the server's capabilities; true when they include STLS.
    bool OffersSTLS();
};
