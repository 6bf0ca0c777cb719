#include "mail_window/OutgoingServer.h"

#include "platform/NumberText.h"
#include "protocols/IdSMTP.h"

namespace quietpane {

void TOutgoingServer::Apply(const TServerAccount& account)
{
    smtp_.Host = account.host.toStdString();
    smtp_.Port = StrToInt(account.port);
    smtp_.UserId = account.userId.toStdString();
    smtp_.AllowUnencrypted = account.allowPlain;
    // The "Type" column is not consulted: a password alone asks for LOGIN authentication.
    if (account.password.isEmpty()) {
        smtp_.Password.clear();
        smtp_.AuthenticationType = atNone;
    } else {
        smtp_.Password = account.password.toStdString();
        smtp_.AuthenticationType = atLogin;
    }
}

void TOutgoingServer::Connect(const TServerAccount& account)
{
    if (account.host.isEmpty())
        return;
    Apply(account);
    sessionAccount_ = account;
    smtp_.Connect();
}

bool TOutgoingServer::SessionInStep()
{
    // Between commands the server has nothing to say: anything it sent meanwhile ("421 ...
    // timeout") means the session is over, as does its closing the connection.
    return smtp_.Connected() && smtp_.InputBuffer().Empty();
}

void TOutgoingServer::Send(TIdMessage& message, const TServerAccount& account)
{
    // A failed send that left the session out of step has closed it already.
    if (!SessionInStep() || account != sessionAccount_) {
        Disconnect();
        Apply(account);
        sessionAccount_ = account;
        smtp_.Connect();
    }
    smtp_.SendMail(message);
}

void TOutgoingServer::Disconnect()
{
    try {
        smtp_.Disconnect();
    } catch (const std::exception&) {
        // A session that can't even take "Quit" is gone all the same, and forgotten with it.
    }
}

void TOutgoingServer::Drop()
{
    smtp_.DropConnection();
}

void TOutgoingServer::Cancel()
{
    smtp_.Cancel();
}

} // namespace quietpane
