#include "platform/SettingsDatabase.h"

#include "support/QtTestSupport.h"
#include "support/TestSupport.h"

#include <QSqlError>
#include <QSqlQuery>

#include <gtest/gtest.h>

#include <filesystem>

using namespace quietpane;
using quietpane::test::TempDir;

namespace {

// The delivered database, made by the build from the schema script.
class SettingsDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::TestApplication();
        path = QString::fromStdString((folder.Path() / "Quietpane.mdb").string());
        std::filesystem::copy_file(QUIETPANE_DELIVERED_DATABASE, path.toStdString());
    }
    void TearDown() override
    {
        CloseSettingsDatabase("first");
        CloseSettingsDatabase("second");
    }

    static bool Exec(const QSqlDatabase& database, const QString& statement)
    {
        QSqlQuery query(database);
        return query.exec(statement);
    }

    TempDir folder;
    QString path;
};

TEST_F(SettingsDatabaseTest, DeliveredFileHoldsTheDefaultHotKeysAndOneEmptyAccount)
{
    QSqlDatabase database = OpenSettingsDatabase("first", path);
    QSqlQuery hotKeys(QStringLiteral("SELECT HotKey1, HotKey2, HotKey3, HotKey4 FROM HotKeys"), database);
    ASSERT_TRUE(hotKeys.next());
    EXPECT_TRUE(hotKeys.value(0).isNull());
    EXPECT_EQ(hotKeys.value(1).toInt(), 49231);
    EXPECT_EQ(hotKeys.value(2).toInt(), 49224);
    EXPECT_FALSE(hotKeys.next());
    QSqlQuery accounts(QStringLiteral("SELECT count(*) FROM Email"), database);
    ASSERT_TRUE(accounts.next());
    EXPECT_EQ(accounts.value(0).toInt(), 1);
    QSqlQuery bookmarks(QStringLiteral("SELECT count(*) FROM Bookmark"), database);
    ASSERT_TRUE(bookmarks.next());
    EXPECT_EQ(bookmarks.value(0).toInt(), 0);
}

TEST_F(SettingsDatabaseTest, ColumnSizesAreEnforced)
{
    QSqlDatabase database = OpenSettingsDatabase("first", path);
    EXPECT_TRUE(Exec(database,
                     QStringLiteral("INSERT INTO Bookmark (Bookmark) VALUES ('%1')").arg(QString(225, 'x'))));
    EXPECT_FALSE(Exec(
        database, QStringLiteral("INSERT INTO Bookmark (Bookmark) VALUES ('%1')").arg(QString(226, 'x'))));
    EXPECT_FALSE(Exec(database, QStringLiteral("UPDATE Email SET ServerIn = '%1'").arg(QString(51, 'x'))));
    EXPECT_FALSE(Exec(database, QStringLiteral("UPDATE Email SET Type = '%1'").arg(QString(21, 'x'))));
    EXPECT_FALSE(Exec(database, QStringLiteral("UPDATE Email SET PortIn = 65536")));
    EXPECT_TRUE(Exec(database, QStringLiteral("UPDATE Email SET PortOut = 65535")));
    EXPECT_FALSE(Exec(database, QStringLiteral("UPDATE HotKeys SET HotKey2 = 2147483648")));
}

TEST_F(SettingsDatabaseTest, TwoConnectionsUseTheFileAtOnce)
{
    QSqlDatabase first = OpenSettingsDatabase("first", path);
    QSqlDatabase second = OpenSettingsDatabase("second", path);
    ASSERT_TRUE(Exec(first, QStringLiteral("UPDATE HotKeys SET HotKey3 = 1")));
    QSqlQuery read(QStringLiteral("SELECT HotKey3 FROM HotKeys"), second);
    ASSERT_TRUE(read.next());
    EXPECT_EQ(read.value(0).toInt(), 1);
    ASSERT_TRUE(Exec(second, QStringLiteral("UPDATE Email SET Name = 'Me'")));
}

TEST_F(SettingsDatabaseTest, MissingFileIsRefusedAndNeverCreated)
{
    const QString missing = QString::fromStdString((folder.Path() / "gone" / "Quietpane.mdb").string());
    try {
        OpenSettingsDatabase("first", missing);
        FAIL() << "no error";
    } catch (const EDatabaseError& error) {
        EXPECT_NE(std::string(error.what()).find(missing.toStdString()), std::string::npos) << error.what();
    }
    std::filesystem::remove(path.toStdString());
    EXPECT_THROW(OpenSettingsDatabase("first", path), EDatabaseError);
    EXPECT_FALSE(std::filesystem::exists(path.toStdString()));
}

TEST_F(SettingsDatabaseTest, FileThatIsNoDatabaseIsRefused)
{
    const auto notADatabase = folder.WriteFile("other.mdb", std::string(4096, 'z'));
    EXPECT_THROW(OpenSettingsDatabase("first", QString::fromStdString(notADatabase.string())),
                 EDatabaseError);
}

TEST_F(SettingsDatabaseTest, PathWithUriCharactersOpensTheRightFile)
{
    std::filesystem::create_directories(folder.Path() / "a?b#c%d");
    const auto odd = folder.Path() / "a?b#c%d" / "Quietpane.mdb";
    std::filesystem::copy_file(path.toStdString(), odd);
    QSqlDatabase database = OpenSettingsDatabase("first", QString::fromStdString(odd.string()));
    ASSERT_TRUE(Exec(database, QStringLiteral("UPDATE HotKeys SET HotKey2 = 7")));
    CloseSettingsDatabase("first");
    QSqlDatabase original = OpenSettingsDatabase("second", path);
    QSqlQuery read(QStringLiteral("SELECT HotKey2 FROM HotKeys"), original);
    ASSERT_TRUE(read.next());
    EXPECT_EQ(read.value(0).toInt(), 49231);
}

} // namespace
