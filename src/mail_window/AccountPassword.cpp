#include "mail_window/AccountPassword.h"

#include "mail_window/PasswordScrambling.h"
#include "platform/GuardedApplication.h"

namespace quietpane {

namespace {

const QString kInKeyring = QStringLiteral("The password is kept in the desktop's keyring.");

QString InDatabase(const TPasswordReply& failure)
{
    if (failure.outcome == TPasswordOutcome::NoSecretService)
        return QStringLiteral("No keyring runs on this desktop: the password is kept scrambled in the "
                              "settings database.");
    return QStringLiteral("The keyring did not take the password (%1): it is kept scrambled in the "
                          "settings database.")
        .arg(failure.reason);
}

} // namespace

const QString TAccountPassword::kWaiting = QStringLiteral("Waiting for the desktop's keyring...");

TAccountPassword::TAccountPassword(TPasswordStore& store, const QString& connectionName)
    : store_(store), move_(connectionName, store, ScramblePassword)
{
}

void TAccountPassword::Settle(const TMailAccount& stored, bool afterUpdate)
{
    const int settling = ++settling_;
    const QString account = PasswordAccountKey(stored.userId, stored.serverIn);
    known_ = !stored.password.isEmpty() || afterUpdate;
    OnPlace(kWaiting);
    // A login or server changed by Update leaves no password behind under the old key.
    const QString replaced = afterUpdate && account != account_ ? account_ : QString();
    account_ = account;
    move_.Start([this, settling, account, afterUpdate, replaced](const TPasswordMoveReport& moved) {
        if (!replaced.isEmpty())
            store_.Delete(replaced, [](const TPasswordReply&) {});
        if (settling != settling_)
            return;
        if (moved.result == TPasswordMoveResult::Moved)
            return Known(kInKeyring);
        if (moved.result == TPasswordMoveResult::Kept)
            return Known(InDatabase(moved.failure));
        const auto answered = [this, settling,
                               alive = std::weak_ptr<bool>(alive_)](const TPasswordReply& reply) {
            if (alive.expired() || settling != settling_)
                return;
            if (reply.outcome == TPasswordOutcome::Done && !reply.password.isEmpty())
                OnPasswordRead(reply.password);
            if (reply.outcome == TPasswordOutcome::Done || reply.outcome == TPasswordOutcome::NoEntry)
                Known(kInKeyring);
            else if (reply.outcome == TPasswordOutcome::NoSecretService)
                Known(InDatabase(reply));
            else
                Known(
                    QStringLiteral("The desktop's keyring did not give the password: %1").arg(reply.reason));
        };
        if (afterUpdate)
            store_.Delete(account, answered);
        else
            store_.Read(account, answered);
    });
}

void TAccountPassword::WhenKnown(std::function<void()> command)
{
    if (known_)
        command();
    else
        waiting_.push_back(std::move(command));
}

void TAccountPassword::Known(const QString& line)
{
    known_ = true;
    OnPlace(line);
    for (const auto& command : std::exchange(waiting_, {}))
        RunGuarded(command);
}

} // namespace quietpane
