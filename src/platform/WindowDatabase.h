#pragma once

#include "platform/Registry.h"

#include <QSqlTableModel>
#include <QString>

#include <memory>

namespace quietpane {

// A window's session with the settings database: a connection of its own, opened when the
// window is created and closed when the window goes, and the "DBPath" record of every start.
class TWindowDatabase final {
public:
    // windowName starts the connection's name ("frmWeb", "frmEmail"); registry is borrowed,
    // null meaning the user's.
    TWindowDatabase(const QString& windowName, Registry* registry);
    ~TWindowDatabase();
    TWindowDatabase(const TWindowDatabase&) = delete;
    TWindowDatabase& operator=(const TWindowDatabase&) = delete;

    // The folder of the program's data: the given one, else the program file's.
    static QString DataFolder(const QString& programFolder);

    // Opens Quietpane.mdb in the folder and records its path under "DBPath". A failure is shown
    // in a message box with its own text; false then, and the program is to end.
    bool Open(const QString& folder);

    const QString& ConnectionName() const { return connectionName_; }
    std::unique_ptr<QSqlTableModel> OpenTable(const QString& table,
                                              QSqlTableModel::EditStrategy strategy) const;
    bool SaveRegistryValue(const QString& name, const QString& value);

private:
    Registry* registry_;
    UserRegistry userRegistry_;
    QString connectionName_;
};

} // namespace quietpane
