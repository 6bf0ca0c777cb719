#include "platform/ProgramData.h"

#include "platform/SettingsDatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryFile>
#include <QUuid>

#include <unistd.h>

namespace quietpane {

namespace {

constexpr QFileDevice::Permissions kPrivateFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr QFileDevice::Permissions kPrivateFolder =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

// The delivered database copied to path, unless a file is there already: the copy is written
// under a temporary name and linked into place, so neither a second start at the same moment
// nor a half-written file can replace or spoil a database the user already has.
void CopyDeliveredDatabase(const QString& deliveredDatabase, const QString& path)
{
    if (QFileInfo::exists(path))
        return;
    QFile delivered(deliveredDatabase);
    if (!delivered.open(QIODevice::ReadOnly))
        return;
    QTemporaryFile copy(path + QStringLiteral(".XXXXXX")); // made 0600
    if (!copy.open() || copy.write(delivered.readAll()) != delivered.size() || !copy.flush())
        return;
    fsync(copy.handle());
    link(QFile::encodeName(copy.fileName()).constData(), QFile::encodeName(path).constData());
}

QString Quoted(const QString& name)
{
    QString quoted = name;
    return QLatin1Char('"') + quoted.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

class TSettingsUpgrade {
public:
    TSettingsUpgrade(const QString& path, const QString& deliveredDatabase)
        : connectionName_(QStringLiteral("upgrade-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
    {
        database_ = OpenSettingsDatabase(connectionName_, path);
        Run(QStringLiteral("ATTACH DATABASE %1 AS delivered").arg(Literal(deliveredDatabase)));
    }
    ~TSettingsUpgrade()
    {
        database_ = QSqlDatabase();
        CloseSettingsDatabase(connectionName_);
    }
    TSettingsUpgrade(const TSettingsUpgrade&) = delete;
    TSettingsUpgrade& operator=(const TSettingsUpgrade&) = delete;

    void AddMissing()
    {
        if (!database_.transaction())
            throw EDatabaseError(database_.lastError().text().toStdString());
        QSqlQuery tables = Run(QStringLiteral("SELECT name, sql FROM delivered.sqlite_master "
                                              "WHERE type = 'table' AND name NOT LIKE 'sqlite_%'"));
        while (tables.next()) {
            const QString table = tables.value(0).toString();
            if (Columns(QStringLiteral("main"), table).isEmpty()) {
                // A table of a newer version, with the rows it is delivered with.
                Run(tables.value(1).toString());
                Run(QStringLiteral("INSERT INTO main.%1 SELECT * FROM delivered.%1").arg(Quoted(table)));
                continue;
            }
            AddMissingColumns(table);
        }
        if (!database_.commit())
            throw EDatabaseError(database_.lastError().text().toStdString());
    }

private:
    void AddMissingColumns(const QString& table)
    {
        const QStringList present = Columns(QStringLiteral("main"), table);
        QSqlQuery columns = Run(QStringLiteral("PRAGMA delivered.table_info(%1)").arg(Quoted(table)));
        while (columns.next()) {
            const QString column = columns.value(1).toString();
            if (present.contains(column, Qt::CaseInsensitive))
                continue;
            QString definition = Quoted(column) + QLatin1Char(' ') + columns.value(2).toString();
            if (!columns.value(4).isNull())
                definition += QStringLiteral(" DEFAULT ") + columns.value(4).toString();
            Run(QStringLiteral("ALTER TABLE main.%1 ADD COLUMN %2").arg(Quoted(table), definition));
        }
    }

    QStringList Columns(const QString& schema, const QString& table)
    {
        QStringList names;
        QSqlQuery columns = Run(QStringLiteral("PRAGMA %1.table_info(%2)").arg(schema, Quoted(table)));
        while (columns.next())
            names.append(columns.value(1).toString());
        return names;
    }

    static QString Literal(const QString& text)
    {
        QString quoted = text;
        return QLatin1Char('\'') + quoted.replace(QLatin1Char('\''), QStringLiteral("''")) +
               QLatin1Char('\'');
    }

    QSqlQuery Run(const QString& statement)
    {
        QSqlQuery query(database_);
        if (!query.exec(statement))
            throw EDatabaseError((statement + QStringLiteral(": ") + query.lastError().text()).toStdString());
        return query;
    }

    QString connectionName_;
    QSqlDatabase database_;
};

} // namespace

void MakePrivateFolder(const QString& path)
{
    QDir().mkpath(path);
    QFile::setPermissions(path, kPrivateFolder);
}

TProgramDataPlaces RunningProgramPlaces()
{
    const QString programFolder = QCoreApplication::applicationDirPath();
    return {programFolder,
            QDir::cleanPath(programFolder + QStringLiteral("/../share/quietpane/") +
                            QLatin1String(SettingsDatabaseFileName)),
            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                QStringLiteral("/Quietpane")};
}

QString PrepareProgramData(const TProgramDataPlaces& places)
{
    const QFileInfo programFolder(places.programFolder);
    if (programFolder.isWritable() && QFileInfo::exists(SettingsDatabasePath(places.programFolder))) {
        // The database holds the mail password, whatever folder the program was unpacked in.
        QFile::setPermissions(SettingsDatabasePath(places.programFolder), kPrivateFile);
        return places.programFolder;
    }

    const QString& folder = places.userDataFolder;
    MakePrivateFolder(folder);
    const QString database = SettingsDatabasePath(folder);
    const bool existed = QFileInfo::exists(database);
    CopyDeliveredDatabase(places.deliveredDatabase, database);
    QFile::setPermissions(database, kPrivateFile);
    if (existed && QFileInfo::exists(places.deliveredDatabase)) {
        try {
            AddMissingSettings(database, places.deliveredDatabase);
        } catch (const EDatabaseError&) {
            // Left as it is: the windows open it and report what they cannot use.
        }
    }
    for (const char* name : {"Screen", "Attach"})
        MakePrivateFolder(folder + QLatin1Char('/') + QLatin1String(name));
    return folder;
}

void AddMissingSettings(const QString& path, const QString& deliveredDatabase)
{
    TSettingsUpgrade(path, deliveredDatabase).AddMissing();
}

} // namespace quietpane
