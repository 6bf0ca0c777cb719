#include "mail_window/MailAccount.h"

namespace quietpane {

TServerAccount TMailAccount::Outgoing() const
{
    return {serverOut, portOut, userId, password, allowPlain};
}

TServerAccount TMailAccount::Incoming() const
{
    return {serverIn, portIn, userId, password, allowPlain};
}

QString TMailAccount::FromText() const
{
    return name + QStringLiteral("   <") + email + QLatin1Char('>');
}

} // namespace quietpane
