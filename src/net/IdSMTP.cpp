#include "net/IdSMTP.h"

#include <algorithm>

#include "message/IdCoder3To4.h"
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
    if (SendCommand("ehlo " + LocalHostName(), AnyCode) == 250) {
        ReadAuthMechanisms();
        return true;
    }
    SendCommand("Helo " + LocalHostName(), 250);
    return false;
}

bool TIdSMTP::OffersExtension(const std::string& keyword) const
{
    const std::vector<std::string>& lines = ReplyLines();
    return std::any_of(lines.begin() + (lines.empty() ? 0 : 1), lines.end(), [&](const std::string& line) {
        return line.size() > 4 && SameTextNoCase(Trim(line.substr(4)), keyword);
    });
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

bool TIdSMTP::ServerOffersAuth(TAuthenticationType type)
{
    return type == atLogin &&
           std::find(authMechanisms_.begin(), authMechanisms_.end(), "LOGIN") != authMechanisms_.end();
}

bool TIdSMTP::LogIn()
{
    bool result = false;
    if (AuthenticationType == atLogin) {
        CheckPasswordMayTravel();
        // The 334 prompts are not examined: only their codes count.
        SendCommand("auth LOGIN", 334);
        SendCommand(EncodeBase64Text(UserId), 334);
        SendCommand(EncodeBase64Text(Password), 235);
        result = true;
    }
    loggedIn_ = true;
    return result;
}

void TIdSMTP::SendMail(TIdMessage& message)
{
    SendCommand("Rset", AnyCode);
    if (AuthenticationType != atNone && ServerOffersAuth(AuthenticationType) && !loggedIn_) {
        LogIn();
    }
    SendCommand("Mail from:<" + message.From.Address + ">", 250);
    for (const TIdEMailAddressList* list : {&message.Recipients, &message.CCList, &message.BccList}) {
        for (int index = 0; index < list->Count(); ++index) {
            SendCommand("RCPT to:<" + list->Items(index).Address + ">", 250);
        }
    }
    SendCommand("Data", 354);
    message.ExtraHeaders.SetHeader("X-Mailer", MailAgent);
    WriteMessage(message);
    SendCommand(".", 250);
}

void TIdSMTP::Disconnect()
{
    try {
        if (Connected()) {
            WriteLine("Quit");
        }
    } catch (...) {
        loggedIn_ = false;
        DropConnection();
        throw;
    }
    loggedIn_ = false;
    DropConnection();
}
