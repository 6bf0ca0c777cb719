#pragma once

#include <QSqlDatabase>
#include <QSqlTableModel>
#include <QString>

#include <memory>
#include <stdexcept>

namespace quietpane {

// The settings database can't be opened or a table can't be used; carries the message text.
class EDatabaseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The file name of the settings database beside the program file.
inline constexpr const char* SettingsDatabaseFileName = "Quietpane.mdb";

// programFolder + "/Quietpane.mdb".
QString SettingsDatabasePath(const QString& programFolder);

// Opens the existing database file read-write under its own connection name. The file is never
// created: a missing, unreadable or non-database file raises EDatabaseError.
QSqlDatabase OpenSettingsDatabase(const QString& connectionName, const QString& path);

// Closes and forgets a connection opened by OpenSettingsDatabase (nothing when it is unknown).
void CloseSettingsDatabase(const QString& connectionName);

// The program's error (EDatabaseError) for a Qt SQL error: the one place they are turned.
[[noreturn]] void ThrowDatabaseError(const QSqlError& error);

// A table of the named connection, read; "The settings database is not open." while the
// connection isn't open, the database's own error when the table can't be read.
std::unique_ptr<QSqlTableModel> OpenSettingsTable(const QString& connectionName, const QString& table,
                                                  QSqlTableModel::EditStrategy strategy);

// The table a window opened earlier; "The settings database is not open." when it has none.
QSqlTableModel& OpenedTable(QSqlTableModel* table);

// The row of a one-row table (inserted when the table is empty): the settings tables that hold
// a single record.
int SingleRow(QSqlTableModel& table);

// Writes the table's pending changes; a refused write drops them and raises the database error.
void SubmitOrThrow(QSqlTableModel& table);

} // namespace quietpane
