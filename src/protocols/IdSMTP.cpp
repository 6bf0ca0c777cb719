#include "protocols/IdSMTP.h"

#include <algorithm>

#include "message/IdCoder3To4.h"
#include "net/IdCommandArgument.h"
#include "net/IdGlobal.h"

namespace {

constexpr int16_t AnyCode = -1;

} // namespace

TIdSMTP::TIdSMTP()
{
    Port = 25;
}

void TIdSMTP::Assign(const TIdSMTP& source)
{
    AuthenticationType = source.AuthenticationType;
    Host = source.Host;
    ImplicitTLSPort = source.ImplicitTLSPort;
    MailAgent = source.MailAgent;
    Password = source.Password;
    Port = source.Port;
    TLSCAFile = source.TLSCAFile;
    UserId = source.UserId;
}

void TIdSMTP::Connect()
{
    TIdTCPClient::Connect();
    try {
        if (Port == ImplicitTLSPort) {
            StartTLS(Host);
        }
        ReadReply({220});
        // What the server offered before TLS no longer counts once it is up.
        if (Hello() && !TLSActive() && OffersExtension("STARTTLS")) {
            SendCommand("STARTTLS", 220);
            StartTLS(Host);
            Hello();
        }
        CheckSessionMayTravel(EIdTLSRequired::kMessage);
    } catch (...) {
        try {
            Disconnect();
        } catch (...) {
            // The failure that ended the connect is the one to report.
        }
        throw;
    }
}

bool TIdSMTP::Hello()
{
    authMechanisms_.clear();
    const std::string hello = HelloName();
    if (SendCommand("ehlo " + hello, AnyCode) == 250) {
        ReadAuthMechanisms();
        return true;
    }
    SendCommand("Helo " + hello, 250);
    return false;
}

bool TIdSMTP::OffersExtension(const std::string& keyword) const
{
    const std::vector<std::string>& lines = ReplyLines();
    return std::any_of(lines.begin() + (lines.empty() ? 0 : 1), lines.end(), [&](const std::string& line) {
        return line.size() > 4 && SameTextNoCase(Trim(line.substr(4)), keyword);
    });
}

std::string TIdSMTP::HelloName()
{
    // Servers may refuse a bare host name; the address literal of this end always qualifies. No
    // name lookup here: a slow resolver would hold the window.
    std::string name = LocalHostName();
    if (name.find('.') == std::string::npos || name.back() == '.') {
        name = "[" + SocketHandle().IP + "]";
    }
    CheckCommandArgument(name, "local host name");
    return name;
}

void TIdSMTP::ReadAuthMechanisms()
{
    const std::vector<std::string>& lines = ReplyLines();
    for (std::size_t index = 1; index < lines.size(); ++index) {
        const std::string line = UpperCase(lines[index]);
        // "250-AUTH LOGIN PLAIN" and the older "250-AUTH=LOGIN" both name mechanisms.
        if (line.find("AUTH") != 4 || line.size() < 9 || (line[8] != ' ' && line[8] != '=')) {
            continue;
        }
        std::string rest = line.substr(9);
        std::replace(rest.begin(), rest.end(), '=', ' ');
        while (!rest.empty()) {
            const std::string mechanism = CutToken(rest, " ");
            if (!mechanism.empty() && std::find(authMechanisms_.begin(), authMechanisms_.end(), mechanism) ==
                                          authMechanisms_.end()) {
                authMechanisms_.push_back(mechanism);
            }
        }
    }
}

bool TIdSMTP::Offers(const std::string& mechanism) const
{
    return std::find(authMechanisms_.begin(), authMechanisms_.end(), mechanism) != authMechanisms_.end();
}

bool TIdSMTP::ServerOffersAuth(TAuthenticationType type)
{
    return type == atLogin && (Offers("LOGIN") || Offers("PLAIN"));
}

bool TIdSMTP::LogIn()
{
    bool result = false;
    if (AuthenticationType == atLogin) {
        CheckPasswordMayTravel();
        if (!Offers("LOGIN") && Offers("PLAIN")) {
            const std::string credentials = '\0' + UserId + '\0' + Password;
            SendCommand("AUTH PLAIN " + EncodeBase64Text(credentials), 235);
        } else {
            // The 334 prompts are not examined: only their codes count. An empty answer is a line
            // of its own all the same.
            SendCommand("auth LOGIN", 334);
            WriteLine(EncodeBase64Text(UserId));
            ReadReply({334});
            WriteLine(EncodeBase64Text(Password));
            ReadReply({235});
        }
        result = true;
    }
    loggedIn_ = true;
    return result;
}

void TIdSMTP::CheckArguments(const TIdMessage& message) const
{
    CheckEnvelopeAddress(message.From.Address, "sender address");
    for (const TIdEMailAddressList* list : {&message.Recipients, &message.CCList, &message.BccList}) {
        for (int index = 0; index < list->Count(); ++index) {
            CheckEnvelopeAddress(list->Items(index).Address, "recipient address");
        }
    }
    if (AuthenticationType != atNone) {
        CheckCommandArgument(UserId, "user name");
        CheckCommandArgument(Password, "password");
    }
}

void TIdSMTP::SendMail(TIdMessage& message)
{
    CheckArguments(message);
    SendCommand("Rset", AnyCode);
    if (AuthenticationType != atNone && !loggedIn_) {
        if (!ServerOffersAuth(AuthenticationType)) {
            throw EIdSMTPNoLogin();
        }
        LogIn();
    }
    SendCommand("Mail from:<" + message.From.Address + ">", 250);
    for (const TIdEMailAddressList* list : {&message.Recipients, &message.CCList, &message.BccList}) {
        for (int index = 0; index < list->Count(); ++index) {
            // 251: the server forwards the message, which is a success all the same.
            SendCommand("RCPT to:<" + list->Items(index).Address + ">", {250, 251});
        }
    }
    SendCommand("Data", 354);
    message.ExtraHeaders.SetHeader("X-Mailer", MailAgent);
    try {
        WriteMessage(message);
    } catch (...) {
        // The server still takes every line as message text: the session cannot go on.
        DropConnection();
        throw;
    }
    SendCommand(".", 250);
}

void TIdSMTP::DropConnection()
{
    loggedIn_ = false;
    TIdMessageClient::DropConnection();
}

void TIdSMTP::Disconnect()
{
    try {
        if (Connected()) {
            WriteLine("Quit");
        }
    } catch (...) {
        DropConnection();
        throw;
    }
    DropConnection();
}
