#include "platform/Registry.h"

#include <QSettings>
#include <QString>

namespace quietpane {

void UserRegistry::WriteString(const std::string& name, const std::string& value)
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Tolvar"));
    settings.setValue(QString::fromStdString(name), QString::fromStdString(value));
    settings.sync();
}

} // namespace quietpane
