#pragma once

#include <QSqlDatabase>
#include <QString>

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

} // namespace quietpane
