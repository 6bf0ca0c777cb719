#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "protocols/IdMessageClient.h"

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
    // Sum of all sizes; -1 when the server refuses the listing. A failure of the session itself
    // (a cancel, a time-out, a closed connection) raises: the command must not go on without it.
    int MailboxSize();
    // Size of message n; -1 when the server refuses to tell it, other failures raise.
    int MessageSize(int n);
    // The header block of message n into the message; false on any failure.
    bool FetchHeader(int n, TIdMessage& message);
    // The whole message n; false when the server refuses it, other failures raise.
    bool FetchMessage(int n, TIdMessage& message);
    bool DeleteMessage(int n);
    bool ResetDeletions();
    // Ends the session so that the server carries out its deletions: "QUIT", then the server's
    // answer, which comes once they are done, awaited at most timeoutMs. The connection is closed
    // however it ends; only a cancel raises, a server that closes without an answer does not.
    void QuitAndAwaitDeletions(int timeoutMs);

    // Receives each message of a listing: its number, its header block and its size (-1 when
    // the server refused to tell it; a refused header block leaves the message cleared).
    using THeaderHandler = std::function<void(int number, TIdMessage& message, int size)>;
    // The header blocks and sizes of messages first..last that the server's LIST names, in order,
    // each handed over as soon as it has arrived: a count the server made up asks for nothing. A server that
    // offers PIPELINING gets the commands in batches, so that the round trips do not add up; others get one
    // command at a time. Any failure closes the session and raises; the messages handed over so far stay
    // handed over.
    void FetchHeaders(int first, int last, TIdMessage& message, const THeaderHandler& onHeader);
    // Asks for the server's capabilities once per session.
    bool OffersPipelining();

private:
    // Whether the server's CAPA lists the capability; asked once per session.
    bool Offers(const std::string& capability);
    // True for "+OK", false for "-ERR"; raises for anything else.
    bool ReadListingReply();
    // The message numbers of a LIST of the whole mailbox, first..last only, in order.
    std::vector<int> ListedNumbers(int first, int last);
    void ReadHeaderListing(int number, bool pipelined, TIdMessage& message, const THeaderHandler& onHeader);

    // The CAPA lines of this session, once asked; empty when the server has no CAPA.
    std::optional<std::vector<std::string>> capabilities_;
};
