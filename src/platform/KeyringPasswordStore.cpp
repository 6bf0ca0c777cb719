#include "platform/KeyringPasswordStore.h"

#include "platform/GuardedApplication.h"

#include <QDBusConnection>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <qt6keychain/keychain.h>

namespace quietpane {

namespace {

const QString kSecretService = QStringLiteral("org.freedesktop.secrets");

// The keyring's reply reaches a handler of the caller from a GLib callback, outside Qt's event
// delivery: a failure in it is shown like one in any other handler.
void Answer(const TPasswordCallback& done, const TPasswordReply& reply)
{
    RunGuarded([&] { done(reply); });
}

bool SecretServiceRuns(const QDBusMessage& answer)
{
    return answer.type() == QDBusMessage::ReplyMessage && answer.arguments().value(0).toBool();
}

bool CollectionLocked(const QDBusMessage& answer)
{
    return answer.type() == QDBusMessage::ReplyMessage &&
           answer.arguments().value(0).value<QDBusVariant>().variant().toBool();
}

} // namespace

TKeyringPasswordStore::TKeyringPasswordStore(QObject* parent) : QObject(parent) {}

void TKeyringPasswordStore::Store(const QString& account, const QString& password, TPasswordCallback done)
{
    auto* job = new QKeychain::WritePasswordJob(QString::fromLatin1(kKeyringService));
    job->setTextData(password);
    Run(job, account, std::move(done));
}

void TKeyringPasswordStore::Read(const QString& account, TPasswordCallback done)
{
    Run(new QKeychain::ReadPasswordJob(QString::fromLatin1(kKeyringService)), account, std::move(done));
}

void TKeyringPasswordStore::Delete(const QString& account, TPasswordCallback done)
{
    Run(new QKeychain::DeletePasswordJob(QString::fromLatin1(kKeyringService)), account,
        [done = std::move(done)](const TPasswordReply& reply) {
            done(reply.outcome == TPasswordOutcome::NoEntry ? TPasswordReply{} : reply);
        });
}

void TKeyringPasswordStore::Run(QKeychain::Job* job, const QString& account, TPasswordCallback done)
{
    job->setKey(account);
    // The job deletes itself once it has finished. It is not the store's child: the keyring
    // library still calls back into a job that is deleted early, so a store that goes first
    // only drops the connection.
    connect(job, &QKeychain::Job::finished, this, [this, done = std::move(done)](QKeychain::Job* finished) {
        if (finished->error() != QKeychain::NoError) {
            ExplainFailure(*finished, done);
            return;
        }
        TPasswordReply reply;
        if (const auto* read = qobject_cast<const QKeychain::ReadPasswordJob*>(finished))
            reply.password = read->textData();
        Answer(done, reply);
    });
    job->start();
}

void TKeyringPasswordStore::ExplainFailure(const QKeychain::Job& job, const TPasswordCallback& done)
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || job.error() == QKeychain::NoBackendAvailable ||
        job.error() == QKeychain::NotImplemented) {
        Answer(done, {TPasswordOutcome::NoSecretService, {}, job.errorString()});
        return;
    }
    if (job.error() == QKeychain::EntryNotFound) {
        // A locked keyring whose unlock prompt was dismissed, or could not be shown, answers a
        // read as if it kept nothing.
        QDBusMessage question = QDBusMessage::createMethodCall(
            kSecretService, QStringLiteral("/org/freedesktop/secrets/aliases/default"),
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        question << QStringLiteral("org.freedesktop.Secret.Collection") << QStringLiteral("Locked");
        AskBus(question, [done](const QDBusMessage& answer) {
            if (CollectionLocked(answer))
                Answer(done, {TPasswordOutcome::Refused, {}, QStringLiteral("The keyring is locked.")});
            else
                Answer(done, {TPasswordOutcome::NoEntry, {}, {}});
        });
        return;
    }
    QDBusMessage question = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    question << kSecretService;
    AskBus(question, [done, reason = job.errorString()](const QDBusMessage& answer) {
        Answer(done,
               {SecretServiceRuns(answer) ? TPasswordOutcome::Refused : TPasswordOutcome::NoSecretService,
                {},
                reason});
    });
}

void TKeyringPasswordStore::AskBus(const QDBusMessage& question,
                                   std::function<void(const QDBusMessage&)> answered)
{
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(question), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [answered = std::move(answered)](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                answered(call->reply());
            });
}

} // namespace quietpane
