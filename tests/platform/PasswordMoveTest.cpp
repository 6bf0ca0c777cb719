#include "platform/PasswordMove.h"
#include "platform/SettingsDatabase.h"

#include "support/FakePasswordStore.h"
#include "support/KeyringPeer.h"
#include "support/QtTestSupport.h"
#include "support/TestSupport.h"

#include <QSqlQuery>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace quietpane;
using quietpane::test::FakePasswordStore;
using quietpane::test::KeyringPeer;
using quietpane::test::ReadFile;
using quietpane::test::TempDir;

namespace {

using Outcome = TPasswordOutcome;
using Result = TPasswordMoveResult;

// The tests' stand-in for the mail window's scrambling: the column holds the password reversed.
const QString kPassword = QStringLiteral("s3cret-Pw");
const QString kStored = QStringLiteral("wP-terc3s");
const QString kAccount = QStringLiteral("alice@pop.example.org");

QString Reversed(QString text)
{
    std::reverse(text.begin(), text.end());
    return text;
}

// A copy of the delivered database whose account row holds the old scrambled password.
class PasswordMoveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::TestApplication();
        std::filesystem::copy_file(QUIETPANE_DELIVERED_DATABASE, path);
        OpenSettingsDatabase("move", QString::fromStdString(path.string()));
        // The test's own writes leave no copies behind either: what the file holds is the move's.
        QSqlQuery("PRAGMA secure_delete = ON", QSqlDatabase::database("move"));
        SetPassword(kStored);
    }
    void TearDown() override { CloseSettingsDatabase("move"); }

    static void SetPassword(const QString& stored)
    {
        QSqlQuery query(QSqlDatabase::database("move"));
        query.prepare("UPDATE Email SET UserID = 'alice', ServerIn = 'pop.example.org', Password = ?");
        query.addBindValue(stored);
        ASSERT_TRUE(query.exec());
    }
    static QString Column()
    {
        QSqlQuery query("SELECT Password FROM Email", QSqlDatabase::database("move"));
        return query.next() ? query.value(0).toString() : QStringLiteral("(no row)");
    }
    // The file holds the password in neither form.
    bool FileIsClean() const
    {
        const std::string file = ReadFile(path);
        return file.find(kPassword.toStdString()) == std::string::npos &&
               file.find(kStored.toStdString()) == std::string::npos;
    }
    TPasswordMoveReport Move(TPasswordStore& store)
    {
        TScrambledPasswordMove move("move", store, Reversed);
        std::optional<TPasswordMoveReport> report;
        move.Start([&](const TPasswordMoveReport& done) { report = done; });
        EXPECT_FALSE(report) << "reported inside the call";
        EXPECT_TRUE(test::WaitUntil([&] { return report.has_value(); }));
        return report.value_or(TPasswordMoveReport{});
    }

    TempDir folder;
    std::filesystem::path path = folder.Path() / "Quietpane.mdb";
};

TEST_F(PasswordMoveTest, EmptiesTheColumnOnlyOnceTheStoreGaveThePasswordBack)
{
    const TPasswordReply refused{Outcome::Refused, {}, QStringLiteral("The keyring is locked.")};
    const TPasswordReply other{Outcome::Done, QStringLiteral("other"), {}};
    struct Row {
        const char* scenario;
        std::optional<TPasswordReply> storeAnswer, readAnswer;
        Result result;
        TPasswordReply failure;
    } rows[] = {
        {"stored and read back", {}, {}, Result::Moved, {}},
        {"no keyring",
         TPasswordReply{Outcome::NoSecretService, {}, "no bus"},
         {},
         Result::Kept,
         {Outcome::NoSecretService, {}, "no bus"}},
        {"store refused", refused, {}, Result::Kept, refused},
        {"read back refused", {}, refused, Result::Kept, refused},
        {"read back as missing",
         {},
         TPasswordReply{Outcome::NoEntry, {}, {}},
         Result::Kept,
         {Outcome::NoEntry, {}, {}}},
        {"another password read back",
         {},
         other,
         Result::Kept,
         {Outcome::Refused, {}, "The keyring gave back another password."}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.scenario);
        SetPassword(kStored);
        FakePasswordStore store;
        store.storeAnswer = row.storeAnswer;
        store.readAnswer = row.readAnswer;
        const TPasswordMoveReport report = Move(store);
        EXPECT_EQ(report.result, row.result);
        EXPECT_EQ(report.failure, row.failure);
        EXPECT_EQ(report.account, kAccount);
        EXPECT_EQ(report.password, kPassword);
        EXPECT_EQ(store.calls.first(), "Store " + kAccount);
        const bool moved = row.result == Result::Moved;
        EXPECT_EQ(Column(), moved ? QString() : kStored);
        EXPECT_EQ(FileIsClean(), moved);
    }
}

TEST_F(PasswordMoveTest, LeavesAnEmptyColumnAndAPasswordStoredMeanwhileAlone)
{
    SetPassword({});
    FakePasswordStore store;
    EXPECT_EQ(Move(store).result, Result::NothingToMove);
    EXPECT_TRUE(store.calls.isEmpty());

    SetPassword(kStored);
    TScrambledPasswordMove move("move", store, Reversed);
    std::optional<TPasswordMoveReport> report;
    move.Start([&](const TPasswordMoveReport& done) { report = done; });
    SetPassword(QStringLiteral("typed-since"));
    ASSERT_TRUE(test::WaitUntil([&] { return report.has_value(); }));
    EXPECT_EQ(report->result, Result::Kept);
    EXPECT_EQ(Column(), "typed-since");
}

// Each move runs in a program of its own against a real keyring, as at a start of the program.
TEST_F(PasswordMoveTest, RealKeyringTakesThePasswordOnlyWhenItIsUnlocked)
{
    enum class Keyring { Unlocked, Locked, Absent };
    const struct {
        Keyring keyring;
        const char* result;
        QString column;
    } rows[] = {{Keyring::Unlocked, "Moved Done", {}},
                {Keyring::Locked, "Kept Refused", kStored},
                {Keyring::Absent, "Kept NoSecretService", kStored}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.result);
        SetPassword(kStored);
        KeyringPeer keyring;
        if (row.keyring != Keyring::Absent)
            keyring.Start();
        if (row.keyring == Keyring::Locked)
            keyring.Lock();
        const std::string printed = keyring.Run({QUIETPANE_KEYRING_TOOL, "move", path.string()});
        EXPECT_EQ(printed.substr(0, printed.find('\n')), row.result) << printed;
        EXPECT_EQ(Column(), row.column);
        if (row.keyring == Keyring::Unlocked) {
            EXPECT_EQ(keyring.Lookup(kAccount.toStdString()), kPassword.toStdString());
            EXPECT_TRUE(FileIsClean());
        }
    }
}

} // namespace
