#pragma once

#include <string>
#include <vector>

#include "protocols/IdMessageClient.h"

enum TAuthenticationType { atNone, atLogin };

// A password is set, but the server offers no login this client speaks: sending without it
// would hide that the account is not used.
class EIdSMTPNoLogin : public EIdException {
public:
    EIdSMTPNoLogin()
        : EIdException("The server offers no login this program speaks (LOGIN or PLAIN): the message is "
                       "not sent.")
    {
    }
};

// Sends one message at a time over an SMTP connection that stays open between sends: greeting
// and EHLO (falling back to HELO) on connect, AUTH LOGIN (or PLAIN) on the first send that needs it, then
// the envelope around the message writer.
class TIdSMTP : public TIdMessageClient {
public:
    TIdSMTP();

    TAuthenticationType AuthenticationType = atNone;
    std::string UserId;
    std::string Password;
    // A session on this port speaks TLS from the first byte; on any other it asks for TLS when
    // the server offers it.
    int ImplicitTLSPort = 465;
    // Written as the "X-Mailer" header of each message sent; empty writes none.
    std::string MailAgent;

    // Takes the settings of another client: authentication, host, TLS port, agent, password,
    // port, trusted certificates, user.
    void Assign(const TIdSMTP& source);

    // Mechanism names from the last EHLO reply, upper case, each once.
    const std::vector<std::string>& AuthMechanisms() const { return authMechanisms_; }
    bool LoggedIn() const { return loggedIn_; }

    // A server that is not on this machine must offer TLS, unless AllowUnencrypted.
    void Connect() override;
    void Disconnect() override;
    // Also forgets the login, which belonged to the session.
    void DropConnection() override;
    // For atLogin: true when the server offers LOGIN or, failing that, PLAIN.
    virtual bool ServerOffersAuth(TAuthenticationType type);
    virtual bool LogIn();
    virtual void SendMail(TIdMessage& message);

protected:
    // EHLO, or HELO when EHLO is refused; true for EHLO, whose reply then lists the extensions.
    bool Hello();
    // Whether the last EHLO reply names the extension.
    bool OffersExtension(const std::string& keyword) const;
    void ReadAuthMechanisms();
    // The EHLO argument: the machine's name when it is fully qualified, else the address literal
    // of this end of the connection.
    std::string HelloName();

private:
    bool Offers(const std::string& mechanism) const;
    void CheckArguments(const TIdMessage& message) const;
    std::vector<std::string> authMechanisms_;
    bool loggedIn_ = false;
};
