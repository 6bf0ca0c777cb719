#include "platform/WindowDatabase.h"

#include "platform/MessageBoxes.h"
#include "platform/SettingsDatabase.h"

#include <QCoreApplication>
#include <QUuid>

namespace quietpane {

TWindowDatabase::TWindowDatabase(const QString& windowName, Registry* registry)
    : registry_(registry ? registry : &userRegistry_),
      connectionName_(windowName + QLatin1Char('-') + QUuid::createUuid().toString(QUuid::WithoutBraces))
{
}

TWindowDatabase::~TWindowDatabase()
{
    CloseSettingsDatabase(connectionName_);
}

QString TWindowDatabase::DataFolder(const QString& programFolder)
{
    return programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : programFolder;
}

bool TWindowDatabase::Open(const QString& folder)
{
    const QString path = SettingsDatabasePath(folder);
    try {
        OpenSettingsDatabase(connectionName_, path);
        SaveRegistryValue(QStringLiteral("DBPath"), path);
        return true;
    } catch (const std::exception& error) {
        MessageBoxes().ShowMessage(QString::fromUtf8(error.what()));
        return false;
    }
}

std::unique_ptr<QSqlTableModel> TWindowDatabase::OpenTable(const QString& table,
                                                           QSqlTableModel::EditStrategy strategy) const
{
    return OpenSettingsTable(connectionName_, table, strategy);
}

bool TWindowDatabase::SaveRegistryValue(const QString& name, const QString& value)
{
    return registry_->WriteString(name.toStdString(), value.toStdString());
}

} // namespace quietpane
