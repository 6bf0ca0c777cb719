#include "platform/PasswordStore.h"

namespace quietpane {

QString PasswordAccountKey(const QString& userId, const QString& incomingServer)
{
    return userId + QLatin1Char('@') + incomingServer;
}

} // namespace quietpane
