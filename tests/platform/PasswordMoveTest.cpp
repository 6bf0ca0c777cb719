#include "platform/PasswordMove.h"
#include "platform/SettingsDatabase.h"

#include "support/FakePasswordStore.h"
#include "support/QtTestSupport.h"
#include "support/TestSupport.h"

#include <QSqlQuery>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace quietpane;

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

void SetPassword(const QString& stored)
{
    QSqlQuery query(QSqlDatabase::database("move"));
    query.prepare("UPDATE Email SET UserID = 'alice', ServerIn = 'pop.example.org', Password = ?");
    query.addBindValue(stored);
    ASSERT_TRUE(query.exec());
}

QString Column()
{
    QSqlQuery query("SELECT Password FROM Email", QSqlDatabase::database("move"));
    return query.next() ? query.value(0).toString() : QStringLiteral("(no row)");
}

// Each row moves the password out of a copy of the delivered database into a store in memory.
TEST(PasswordMoveTest, EmptiesTheColumnOnlyOnceTheStoreGaveThePasswordBack)
{
    test::TestApplication();
    const test::TempDir folder;
    const std::filesystem::path path = folder.Path() / "Quietpane.mdb";
    std::filesystem::copy_file(QUIETPANE_DELIVERED_DATABASE, path);
    OpenSettingsDatabase("move", QString::fromStdString(path.string()));
    // The test's own writes leave no copies behind either: what the file holds is the move's.
    QSqlQuery("PRAGMA secure_delete = ON", QSqlDatabase::database("move"));

    const TPasswordReply locked{Outcome::Refused, {}, QStringLiteral("The keyring is locked.")};
    const TPasswordReply missing{Outcome::NoEntry, {}, {}};
    const struct {
        const char* scenario;
        QString column;
        std::optional<TPasswordReply> storeAnswer, readAnswer;
        QString typedWhileMoving;
        Result result;
        TPasswordReply failure;
        QString columnAfter;
    } rows[] = {
        {"stored and read back", kStored, {}, {}, {}, Result::Moved, {}, ""},
        {"nothing stored", "", {}, {}, {}, Result::NothingToMove, {}, ""},
        {"no keyring",
         kStored,
         TPasswordReply{Outcome::NoSecretService, {}, "no bus"},
         {},
         {},
         Result::Kept,
         {Outcome::NoSecretService, {}, "no bus"},
         kStored},
        {"store refused", kStored, locked, {}, {}, Result::Kept, locked, kStored},
        {"read back refused", kStored, {}, locked, {}, Result::Kept, locked, kStored},
        {"read back as missing", kStored, {}, missing, {}, Result::Kept, missing, kStored},
        {"another password read back",
         kStored,
         {},
         TPasswordReply{Outcome::Done, "other", {}},
         {},
         Result::Kept,
         {Outcome::Refused, {}, "The keyring gave back another password."},
         kStored},
        {"typed while moving",
         kStored,
         {},
         {},
         "typed",
         Result::Kept,
         {Outcome::Done, {}, "The password was changed while it was moved."},
         "typed"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.scenario);
        SetPassword(row.column);
        test::FakePasswordStore store;
        store.storeAnswer = row.storeAnswer;
        store.readAnswer = row.readAnswer;
        TScrambledPasswordMove move("move", store, Reversed);
        std::optional<TPasswordMoveReport> report;
        move.Start([&](const TPasswordMoveReport& done) { report = done; });
        EXPECT_FALSE(report) << "reported inside the call";
        if (!row.typedWhileMoving.isEmpty())
            SetPassword(row.typedWhileMoving);
        ASSERT_TRUE(test::WaitUntil([&] { return report.has_value(); }));

        EXPECT_EQ(report->result, row.result);
        EXPECT_EQ(report->failure, row.failure);
        EXPECT_EQ(Column(), row.columnAfter);
        const bool moving = row.result != Result::NothingToMove;
        EXPECT_EQ(report->password, moving ? kPassword : QString());
        EXPECT_EQ(store.calls.value(0), moving ? "Store " + kAccount : QString());
        const std::string file = test::ReadFile(path);
        EXPECT_EQ(file.find(kStored.toStdString()) != std::string::npos, row.columnAfter == kStored);
        EXPECT_EQ(file.find(kPassword.toStdString()), std::string::npos);
    }
    CloseSettingsDatabase("move");
}

} // namespace
