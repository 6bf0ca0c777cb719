#include "platform/SettingsDatabase.h"

#include "platform/MessageBoxes.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

namespace quietpane {

QString SettingsDatabasePath(const QString& programFolder)
{
    return programFolder + QLatin1Char('/') + QLatin1String(SettingsDatabaseFileName);
}

QSqlDatabase OpenSettingsDatabase(const QString& connectionName, const QString& path)
{
    CloseSettingsDatabase(connectionName);
    QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
    // mode=rw: SQLite refuses a missing file instead of creating an empty one.
    database.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000"));
    database.setDatabaseName(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded) +
                             QStringLiteral("?mode=rw"));
    const QString cantOpen = QStringLiteral("Could not open the database file '%1'.").arg(path);
    if (!database.open())
        throw EDatabaseError((cantOpen + QLatin1Char(' ') + database.lastError().text()).toStdString());
    // Opening is lazy in SQLite: a first read proves the file is a database we may read.
    QSqlQuery probe(database);
    if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"))) {
        const QString reason = probe.lastError().text();
        probe = QSqlQuery();
        database.close();
        throw EDatabaseError((cantOpen + QLatin1Char(' ') + reason).toStdString());
    }
    return database;
}

bool OpenWindowDatabase(
    const QString& connectionName, const QString& path,
    const std::function<bool(const QString& name, const QString& value)>& saveRegistryValue)
{
    try {
        OpenSettingsDatabase(connectionName, path);
        saveRegistryValue(QStringLiteral("DBPath"), path);
        return true;
    } catch (const std::exception& error) {
        MessageBoxes().ShowMessage(QString::fromUtf8(error.what()));
        return false;
    }
}

void CloseSettingsDatabase(const QString& connectionName)
{
    if (!QSqlDatabase::contains(connectionName))
        return;
    {
        QSqlDatabase database = QSqlDatabase::database(connectionName, false);
        database.close();
    }
    QSqlDatabase::removeDatabase(connectionName);
}

} // namespace quietpane
