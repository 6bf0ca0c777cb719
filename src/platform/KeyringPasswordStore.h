#pragma once

#include "platform/PasswordStore.h"

#include <QDBusMessage>
#include <QObject>

namespace QKeychain {
class Job;
}

namespace quietpane {

// The service name the program's passwords are kept under in the desktop's keyring.
inline constexpr const char* kKeyringService = "Quietpane";

// The desktop's keyring (GNOME Keyring, or KWallet through its Secret Service interface),
// reached through QtKeychain. A failed call is explained with one more question to the session
// bus: whether a Secret Service runs at all, and whether its default collection is locked.
class TKeyringPasswordStore final : public QObject, public TPasswordStore {
public:
    explicit TKeyringPasswordStore(QObject* parent = nullptr);

    void Store(const QString& account, const QString& password, TPasswordCallback done) override;
    void Read(const QString& account, TPasswordCallback done) override;
    void Delete(const QString& account, TPasswordCallback done) override;

private:
    void Run(QKeychain::Job* job, const QString& account, TPasswordCallback done);
    void ExplainFailure(const QKeychain::Job& job, const TPasswordCallback& done);
    void AskBus(const QDBusMessage& question, std::function<void(const QDBusMessage&)> answered);
};

} // namespace quietpane
