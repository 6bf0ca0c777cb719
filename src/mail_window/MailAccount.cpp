#include "mail_window/MailAccount.h"

#include "mail_window/PasswordScrambling.h"

namespace quietpane {

TServerAccount TMailAccount::Outgoing() const
{
    return {serverOut, portOut, userId, ScramblePassword(password), allowPlain};
}

TServerAccount TMailAccount::Incoming() const
{
    return {serverIn, portIn, userId, ScramblePassword(password), allowPlain};
}

QString TMailAccount::FromText() const
{
    return name + QStringLiteral("   <") + email + QLatin1Char('>');
}

} // namespace quietpane
