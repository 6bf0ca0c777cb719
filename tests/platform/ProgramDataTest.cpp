#include "platform/ProgramData.h"

#include "platform/SettingsDatabase.h"
#include "support/QtTestSupport.h"
#include "support/TestSupport.h"

#include <QSqlQuery>

#include <gtest/gtest.h>

#include <filesystem>

using namespace quietpane;
using quietpane::test::TempDir;
namespace fs = std::filesystem;

namespace {

class ProgramDataTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::TestApplication();
        fs::create_directories(program);
        fs::create_directories(home);
    }
    void TearDown() override { CloseSettingsDatabase("look"); }

    TProgramDataPlaces Places() const
    {
        return {QString::fromStdString(program.string()), QUIETPANE_DELIVERED_DATABASE,
                QString::fromStdString((home / "Quietpane").string())};
    }

    // Runs statements on the database at path and returns the first column of the last one's rows.
    QStringList Query(const fs::path& path, const QStringList& statements)
    {
        QSqlDatabase database = OpenSettingsDatabase("look", QString::fromStdString(path.string()));
        QStringList values;
        for (const QString& statement : statements) {
            QSqlQuery query(database);
            EXPECT_TRUE(query.exec(statement)) << statement.toStdString();
            values.clear();
            while (query.next())
                values.append(query.value(0).toString());
        }
        database = QSqlDatabase();
        CloseSettingsDatabase("look");
        return values;
    }

    static fs::perms Permissions(const fs::path& path)
    {
        return fs::status(path).permissions() & fs::perms::mask;
    }

    TempDir folder;
    fs::path program = folder.Path() / "bin";
    fs::path home = folder.Path() / "data";
};

TEST_F(ProgramDataTest, WritableProgramFolderHoldingTheDatabaseKeepsEverythingBesideItPrivately)
{
    fs::copy_file(QUIETPANE_DELIVERED_DATABASE, program / "Quietpane.mdb");
    fs::permissions(program / "Quietpane.mdb", fs::perms::owner_read | fs::perms::owner_write |
                                                   fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(PrepareProgramData(Places()), QString::fromStdString(program.string()));
    EXPECT_FALSE(fs::exists(home / "Quietpane"));
    EXPECT_EQ(Permissions(program / "Quietpane.mdb"), fs::perms::owner_read | fs::perms::owner_write);
    // The windows make their folders the same way, also over an existing open one.
    fs::create_directories(program / "Attach");
    fs::permissions(program / "Attach", fs::perms::all);
    MakePrivateFolder(QString::fromStdString((program / "Attach").string()));
    MakePrivateFolder(QString::fromStdString((program / "Screen" / "").string()));
    for (const char* name : {"Attach", "Screen"})
        EXPECT_EQ(Permissions(program / name), fs::perms::owner_all) << name;
}

TEST_F(ProgramDataTest, InstalledProgramMakesAPrivateCopyOfTheUsersOwnOnceAndKeepsIt)
{
    const fs::path data = home / "Quietpane";
    ASSERT_EQ(PrepareProgramData(Places()), QString::fromStdString(data.string()));
    EXPECT_EQ(test::ReadFile(data / "Quietpane.mdb"), test::ReadFile(QUIETPANE_DELIVERED_DATABASE));
    EXPECT_EQ(Permissions(data / "Quietpane.mdb"), fs::perms::owner_read | fs::perms::owner_write);
    for (const char* name : {"", "Screen", "Attach"})
        EXPECT_EQ(Permissions(data / name), fs::perms::owner_all) << name;
    EXPECT_EQ(std::distance(fs::directory_iterator(data), fs::directory_iterator()), 3); // no copy left over

    Query(data / "Quietpane.mdb", {"INSERT INTO Bookmark (Bookmark) VALUES ('https://example.org/')"});
    fs::permissions(data / "Quietpane.mdb",
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
    ASSERT_EQ(PrepareProgramData(Places()), QString::fromStdString(data.string()));
    EXPECT_EQ(Query(data / "Quietpane.mdb", {"SELECT Bookmark FROM Bookmark"}),
              QStringList{"https://example.org/"});
    EXPECT_EQ(Permissions(data / "Quietpane.mdb"), fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(ProgramDataTest, DatabaseOfAnOlderVersionGainsTheNewTablesAndColumnsAndKeepsItsRows)
{
    const fs::path data = home / "Quietpane";
    fs::create_directories(data);
    fs::copy_file(QUIETPANE_DELIVERED_DATABASE, data / "Quietpane.mdb");
    // An older version: no Email table, no HotKey4 column, two bookmarks of the user's.
    Query(data / "Quietpane.mdb",
          {"DROP TABLE Email", "ALTER TABLE HotKeys DROP COLUMN HotKey4",
           "INSERT INTO Bookmark (Bookmark) VALUES ('https://a.example/'), ('https://b.example/')",
           "UPDATE HotKeys SET HotKey2 = 16464"});

    PrepareProgramData(Places());

    const fs::path database = data / "Quietpane.mdb";
    EXPECT_EQ(Query(database, {"SELECT Bookmark FROM Bookmark ORDER BY ID"}),
              QStringList({"https://a.example/", "https://b.example/"}));
    EXPECT_EQ(
        Query(database, {"SELECT HotKey2 || '/' || HotKey3 || '/' || ifnull(HotKey4, 'none') FROM HotKeys"}),
        QStringList{"16464/49224/none"});
    EXPECT_EQ(Query(database, {"SELECT count(*) FROM Email"}), QStringList{"1"});
}

} // namespace
