#pragma once

#include <QSqlDatabase>
#include <QString>

#include <functional>
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

// What each window does at creation: opens the database under its own connection name and
// records its path under "DBPath" with the window's registry writer. A failure is shown in a
// message box with its own text; false then, and the program is to end.
bool OpenWindowDatabase(
    const QString& connectionName, const QString& path,
    const std::function<bool(const QString& name, const QString& value)>& saveRegistryValue);

// Closes and forgets a connection opened by OpenSettingsDatabase (nothing when it is unknown).
void CloseSettingsDatabase(const QString& connectionName);

} // namespace quietpane
