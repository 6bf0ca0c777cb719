#include "platform/PasswordMove.h"

#include "platform/SettingsDatabase.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>

namespace quietpane {

namespace {

TPasswordMoveReport Kept(TPasswordMoveReport report, const TPasswordReply& failure)
{
    report.result = TPasswordMoveResult::Kept;
    report.failure = failure;
    return report;
}

} // namespace

TScrambledPasswordMove::TScrambledPasswordMove(QString connectionName, TPasswordStore& store,
                                               TUnscramble unscramble)
    : connectionName_(std::move(connectionName)), store_(store), unscramble_(std::move(unscramble))
{
}

void TScrambledPasswordMove::Start(TDone done)
{
    // The account is the first row, as the mail window shows it.
    QSqlQuery row(QSqlDatabase::database(connectionName_, false));
    if (!row.exec(QStringLiteral("SELECT AccountID, UserID, ServerIn, Password FROM Email "
                                 "ORDER BY AccountID LIMIT 1")))
        ThrowDatabaseError(row.lastError());
    TPasswordMoveReport report;
    QString stored;
    if (row.next()) {
        accountId_ = row.value(0).toLongLong();
        report.account = PasswordAccountKey(row.value(1).toString(), row.value(2).toString());
        stored = row.value(3).toString();
    }
    const std::weak_ptr<bool> alive = alive_;
    if (stored.isEmpty()) {
        QTimer::singleShot(0, [alive, report, done = std::move(done)] {
            if (!alive.expired())
                done(report);
        });
        return;
    }
    report.password = unscramble_(stored);
    store_.Store(report.account, report.password,
                 [this, alive, report, stored, done = std::move(done)](const TPasswordReply& reply) {
                     if (alive.expired())
                         return;
                     if (reply.outcome != TPasswordOutcome::Done)
                         done(Kept(report, reply));
                     else
                         ReadBack(report, stored, done);
                 });
}

void TScrambledPasswordMove::ReadBack(const TPasswordMoveReport& report, const QString& stored,
                                      const TDone& done)
{
    const std::weak_ptr<bool> alive = alive_;
    store_.Read(report.account, [this, alive, report, stored, done](const TPasswordReply& reply) {
        if (alive.expired())
            return;
        if (reply.outcome != TPasswordOutcome::Done)
            done(Kept(report, reply));
        else if (reply.password != report.password)
            done(Kept(
                report,
                {TPasswordOutcome::Refused, {}, QStringLiteral("The keyring gave back another password.")}));
        else
            done(EmptyColumn(report, stored));
    });
}

TPasswordMoveReport TScrambledPasswordMove::EmptyColumn(TPasswordMoveReport report,
                                                        const QString& stored) const
{
    // Only the value that was moved is emptied: a password stored meanwhile stays for the next move.
    // An SQLite built without secure deletion by default leaves the old value in free space.
    QSqlQuery clear(QSqlDatabase::database(connectionName_, false));
    clear.exec(QStringLiteral("PRAGMA secure_delete = ON"));
    clear.prepare(QStringLiteral("UPDATE Email SET Password = '' WHERE AccountID = ? AND Password = ?"));
    clear.addBindValue(accountId_);
    clear.addBindValue(stored);
    if (!clear.exec())
        return Kept(report, {TPasswordOutcome::Done, {}, clear.lastError().text()});
    if (clear.numRowsAffected() != 1)
        return Kept(
            report,
            {TPasswordOutcome::Done, {}, QStringLiteral("The password was changed while it was moved.")});
    report.result = TPasswordMoveResult::Moved;
    return report;
}

} // namespace quietpane
