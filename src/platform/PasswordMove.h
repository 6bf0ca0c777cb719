#pragma once

#include "platform/PasswordStore.h"

#include <QString>

#include <functional>
#include <memory>

namespace quietpane {

enum class TPasswordMoveResult {
    NothingToMove, // the account's Password column is empty
    Moved,         // the password is in the store, the column empty
    Kept,          // the password stays in the column; failure says why
};

struct TPasswordMoveReport {
    TPasswordMoveResult result = TPasswordMoveResult::NothingToMove;
    TPasswordReply failure; // what kept the password in the column
    QString account;        // the key the password is kept under in the store
    QString password;       // the password as typed, wherever it is kept
};

// Moves the account's password out of the "Email" row of the settings database into a password
// store: read from the column, stored, read back, and only then the column emptied, and only if
// it still holds what was read. Any failure leaves the column as it was, so nothing is lost; the
// next move stores the password again over whatever the first attempt left in the store.
class TScrambledPasswordMove final {
public:
    using TUnscramble = std::function<QString(const QString&)>;
    using TDone = std::function<void(const TPasswordMoveReport&)>;

    // connectionName is an open settings database; store is borrowed; unscramble turns the
    // column's stored form into the typed password.
    TScrambledPasswordMove(QString connectionName, TPasswordStore& store, TUnscramble unscramble);

    // Reads the account row now (EDatabaseError when it can't) and reports later, from the event
    // loop; nothing is reported once this object is gone.
    void Start(TDone done);

private:
    void ReadBack(const TPasswordMoveReport& report, const QString& stored, const TDone& done);
    TPasswordMoveReport EmptyColumn(TPasswordMoveReport report, const QString& stored) const;

    QString connectionName_;
    TPasswordStore& store_;
    TUnscramble unscramble_;
    qint64 accountId_ = 0;
    // Callbacks hold it weakly: a reply that comes after this object has gone finds it expired.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace quietpane
