#include "platform/Registry.h"

#include <QSettings>
#include <QString>

namespace quietpane {

bool UserRegistry::WriteString(const std::string& name, const std::string& value)
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Tolvar"));
    if (!settings.isWritable())
        return false;
    settings.setValue(QString::fromStdString(name), QString::fromStdString(value));
    settings.sync();
    return settings.status() == QSettings::NoError;
}

} // namespace quietpane
