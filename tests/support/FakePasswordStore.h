#pragma once

// A password store in memory for tests of what uses one (header-only: only Qt tests include it).

#include "platform/PasswordStore.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <map>
#include <optional>

namespace quietpane::test {

// Keeps passwords in a map and answers every call from the event loop, as the keyring does.
// A test may set the answer of every store or read instead.
class FakePasswordStore final : public TPasswordStore {
public:
    void Store(const QString& account, const QString& password, TPasswordCallback done) override
    {
        calls << QStringLiteral("Store ") + account;
        if (!storeAnswer)
            entries[account] = password;
        Answer(storeAnswer.value_or(TPasswordReply{}), std::move(done));
    }
    void Read(const QString& account, TPasswordCallback done) override
    {
        calls << QStringLiteral("Read ") + account;
        const auto entry = entries.find(account);
        const TPasswordReply kept = entry == entries.end()
                                        ? TPasswordReply{TPasswordOutcome::NoEntry, {}, {}}
                                        : TPasswordReply{TPasswordOutcome::Done, entry->second, {}};
        Answer(readAnswer.value_or(kept), std::move(done));
    }
    void Delete(const QString& account, TPasswordCallback done) override
    {
        calls << QStringLiteral("Delete ") + account;
        entries.erase(account);
        Answer({}, std::move(done));
    }

    std::map<QString, QString> entries;
    std::optional<TPasswordReply> storeAnswer, readAnswer;
    QStringList calls;

private:
    void Answer(const TPasswordReply& reply, TPasswordCallback done)
    {
        QTimer::singleShot(0, &alive_, [reply, done = std::move(done)] { done(reply); });
    }

    QObject alive_; // answers still queued are dropped with the store
};

} // namespace quietpane::test
