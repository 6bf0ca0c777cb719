#include "platform/SettingsDatabase.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

namespace quietpane {

namespace {

[[noreturn]] void ThrowNotOpen()
{
    throw EDatabaseError("The settings database is not open.");
}

} // namespace

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

void ThrowDatabaseError(const QSqlError& error)
{
    throw EDatabaseError(error.text().toStdString());
}

std::unique_ptr<QSqlTableModel> OpenSettingsTable(const QString& connectionName, const QString& table,
                                                  QSqlTableModel::EditStrategy strategy)
{
    QSqlDatabase database = QSqlDatabase::database(connectionName, false);
    if (!database.isOpen())
        ThrowNotOpen();
    auto model = std::make_unique<QSqlTableModel>(nullptr, database);
    model->setTable(table);
    model->setEditStrategy(strategy);
    if (!model->select())
        ThrowDatabaseError(model->lastError());
    return model;
}

QSqlTableModel& OpenedTable(QSqlTableModel* table)
{
    if (!table)
        ThrowNotOpen();
    return *table;
}

int SingleRow(QSqlTableModel& table)
{
    if (table.rowCount() == 0 && !table.insertRow(0))
        ThrowDatabaseError(table.lastError());
    return 0;
}

void SubmitOrThrow(QSqlTableModel& table)
{
    if (table.submitAll())
        return;
    const QSqlError error = table.lastError();
    table.revertAll();
    ThrowDatabaseError(error);
}

} // namespace quietpane
