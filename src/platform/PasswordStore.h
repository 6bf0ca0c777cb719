#pragma once

#include <QString>

#include <functional>

namespace quietpane {

// What became of a call to a password store.
enum class TPasswordOutcome {
    Done,            // stored, read or deleted
    NoEntry,         // the store runs but keeps nothing for the account
    NoSecretService, // no store of secrets runs in the desktop session
    Refused,         // the store runs but is locked or refused the call
};

struct TPasswordReply {
    TPasswordOutcome outcome = TPasswordOutcome::Done;
    QString password; // what a read found
    QString reason;   // why the call failed, in the store's own words

    bool operator==(const TPasswordReply&) const = default;
};

using TPasswordCallback = std::function<void(const TPasswordReply&)>;

// The desktop's store of secrets, one password per account key. Every call returns at once,
// since the store may first ask the user to unlock it; its callback runs exactly once, later,
// from the event loop of the GUI thread (never inside the call), and never after the store is
// gone.
class TPasswordStore {
public:
    virtual ~TPasswordStore() = default;

    virtual void Store(const QString& account, const QString& password, TPasswordCallback done) = 0;
    virtual void Read(const QString& account, TPasswordCallback done) = 0;
    // Deleting what is not there is done, not an error.
    virtual void Delete(const QString& account, TPasswordCallback done) = 0;
};

// The key an account's password is kept under: the login and the incoming server it is for
// ("alice@pop.example.org"). A server name holds no "@", so the last one splits the two.
QString PasswordAccountKey(const QString& userId, const QString& incomingServer);

} // namespace quietpane
