#pragma once

// Fakes of the mail window's two servers (header-only: only the mail window's tests include
// them). Each records its calls as lines and can run a step "while it waits", as the event pump
// lets the user click while a real session waits on its server.

#include "mail_window/MailServices.h"
#include "message/IdMessage.h"
#include "message/IdMessageReader.h"
#include "net/IdSocketHandle.h"

#include <QStringList>

#include <functional>
#include <string>
#include <vector>

namespace quietpane::test {

// Runs the step once, inside the call that waits; a cancel asked for meanwhile ends that call.
class FakeWait {
public:
    std::function<void()> whileWaiting;
    std::string failure; // the next wait raises it instead of answering, once

    void Cancel() { cancelled_ = true; }
    void Wait()
    {
        cancelled_ = false;
        if (auto step = std::exchange(whileWaiting, nullptr))
            step();
        if (cancelled_)
            throw EIdCommandCancelled();
        if (!failure.empty())
            throw EIdException(std::exchange(failure, std::string()));
    }

private:
    bool cancelled_ = false;
};

class FakeIncomingServer final : public TIncomingService, public FakeWait {
public:
    std::vector<std::string> mailbox; // message texts; message n is mailbox[n - 1]
    QStringList calls;
    bool open = false;
    bool resetRefused = false;

    TMailboxCount Check(const TServerAccount& account) override
    {
        calls.append(QStringLiteral("Check %1:%2 %3 %4 %5")
                         .arg(account.host, account.port, account.userId, account.password)
                         .arg(account.allowPlain));
        open = false;
        Wait();
        open = true;
        int bytes = 0;
        for (const std::string& text : mailbox)
            bytes += static_cast<int>(text.size());
        return {static_cast<int>(mailbox.size()), bytes};
    }
    void ListHeaders(int count, const THeaderRow& onRow) override
    {
        calls.append(QStringLiteral("List %1").arg(count));
        for (int number = 1; number <= count; ++number) {
            TIdMessage header;
            TIdMessageReader::ReadMessage(header, mailbox.at(number - 1));
            onRow(number, header, static_cast<int>(mailbox.at(number - 1).size()));
        }
    }
    void Fetch(int number, TIdMessage& message) override
    {
        calls.append(QStringLiteral("Fetch %1").arg(number));
        Wait();
        TIdMessageReader::ReadMessage(message, mailbox.at(number - 1));
    }
    void MarkDeleted(int number) override
    {
        calls.append(QStringLiteral("Delete %1").arg(number));
        Wait();
    }
    bool SessionOpen() override { return open; }
    bool EndUndoingDeletions() override
    {
        calls.append(QStringLiteral("Reset and quit"));
        open = false;
        return !resetRefused;
    }
    void EndKeepingDeletions(int timeoutMs) override
    {
        if (open)
            calls.append(QStringLiteral("Quit, waiting %1 ms").arg(timeoutMs));
        open = false;
    }
    void Cancel() override
    {
        calls.append(QStringLiteral("Cancel"));
        FakeWait::Cancel();
        open = false;
    }
};

// What a sent message carried.
struct FakeSent {
    int recipients = 0;
    std::string cc, inReplyTo, references;
    int attachments = 0;
};

class FakeOutgoingServer final : public TOutgoingService, public FakeWait {
public:
    QStringList calls;
    std::vector<FakeSent> sent;

    void Connect(const TServerAccount& account) override
    {
        calls.append(QStringLiteral("Connect %1:%2").arg(account.host, account.port));
        Wait();
    }
    void Send(TIdMessage& message, const TServerAccount& account) override
    {
        calls.append(QStringLiteral("Send %1:%2 %3 %4 %5")
                         .arg(account.host, account.port, account.userId, account.password)
                         .arg(account.allowPlain));
        Wait();
        int attachments = 0;
        for (int index = 0; index < message.Parts.Count(); ++index)
            attachments += dynamic_cast<const TIdAttachment*>(&message.Parts.Items(index)) != nullptr;
        sent.push_back({message.Recipients.Count(), message.CCList.AddressListText(),
                        message.ExtraHeaders.GetHeader("In-Reply-To"), message.References, attachments});
    }
    void Disconnect() override { calls.append(QStringLiteral("Disconnect")); }
    void Drop() override { calls.append(QStringLiteral("Drop")); }
    void Cancel() override
    {
        calls.append(QStringLiteral("Cancel"));
        FakeWait::Cancel();
    }
};

} // namespace quietpane::test
