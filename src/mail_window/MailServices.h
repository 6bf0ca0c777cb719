#pragma once

#include "mail_window/MailAccount.h"

#include <QString>

#include <exception>
#include <functional>
#include <utility>

class TIdMessage;

namespace quietpane {

// What the last mailbox check found; the status bar reports the size.
struct TMailboxState {
    int MessageCount = 0;
    int MailboxSizeK = 0;
};

// What a new session finds in the mailbox.
struct TMailboxCount {
    int messages = 0;
    int bytes = 0; // -1 when the server won't tell
};

// The POP3 session as the Receive Email tab uses it. Message numbers are the session's, from 1.
class TIncomingService {
public:
    virtual ~TIncomingService() = default;
    // Ends an open session so that its deletions take effect, opens one for the account and
    // counts the mailbox.
    virtual TMailboxCount Check(const TServerAccount& account) = 0;
    // Receives one row of a listing: the message number, its header fields, its size in bytes.
    using THeaderRow = std::function<void(int number, const TIdMessage& header, int size)>;
    // The rows of messages 1..count, each handed over as soon as it has arrived.
    virtual void ListHeaders(int count, const THeaderRow& onRow) = 0;
    // The whole message; a refusal raises with the server's answer.
    virtual void Fetch(int number, TIdMessage& message) = 0;
    virtual void MarkDeleted(int number) = 0;
    virtual bool SessionOpen() = 0;
    // Undoes the session's deletions, then ends it; false when the server could not undo them.
    virtual bool EndUndoingDeletions() = 0;
    // Ends an open session so that its deletions take effect, waiting for them at most timeoutMs.
    virtual void EndKeepingDeletions(int timeoutMs) = 0;
    // Ends a command waiting on the server with its cancel error; the session is closed.
    virtual void Cancel() = 0;
};

// The SMTP session as the window uses it.
class TOutgoingService {
public:
    virtual ~TOutgoingService() = default;
    virtual void Connect(const TServerAccount& account) = 0;
    virtual void Send(TIdMessage& message, const TServerAccount& account) = 0;
    virtual void Disconnect() = 0;
    // Ends the session without a word to the server; a call waiting on it fails at once.
    virtual void Drop() = 0;
    virtual void Cancel() = 0;
};

// The mail window's status bar and busy cursor, as its pages use them.
class TMailStatus {
public:
    virtual ~TMailStatus() = default;
    // Panel 0 := text, panel 1 := the mailbox size text; repainted at once.
    virtual void ShowStatus(const QString& text) = 0;
    virtual void ShowBusy(bool busy) = 0;
    // "Connected" or "Not connected" through ShowStatus.
    virtual void ShowConnectionState(bool connected) = 0;
    virtual QString StatusText(int panel) const = 0;
    virtual void SetStatusText(int panel, const QString& text) = 0;
};

// The busy cursor for the length of a command, switched off however the command ends.
class TBusySpan {
public:
    explicit TBusySpan(TMailStatus& status) : status_(status) { status_.ShowBusy(true); }
    ~TBusySpan() { status_.ShowBusy(false); }
    TBusySpan(const TBusySpan&) = delete;
    TBusySpan& operator=(const TBusySpan&) = delete;

private:
    TMailStatus& status_;
};

// Where a command's failure is reported.
enum class TFailureReport { Box, StatusBar };

// Lets one mail command run at a time, and is the one place where a command's failure is caught
// and reported. A command started while another runs (possible while the anti-freeze pumps
// events inside a network call) is ignored instead of interleaving its commands with the running
// one's on the same session.
class TMailCommandGate {
public:
    // Told when a command starts and when it ends, to disable what would be ignored meanwhile.
    std::function<void(bool busy)> OnBusyChanged;
    // Shows a failure's text as asked; unset, failures go unreported.
    std::function<void(const QString& text, TFailureReport report)> OnFailure;

    bool Busy() const { return busy_; }
    // The user gave up the running command: the failure it ends with is no error to report.
    void CancelRequested() { cancelRequested_ = busy_; }

    // Runs the command unless another one is running; true when it ran.
    template <typename Command> bool Run(Command&& command, TFailureReport report = TFailureReport::Box)
    {
        if (busy_)
            return false;
        const TRunning running(*this);
        Guard(std::forward<Command>(command), report);
        return true;
    }

    // Runs a command that needs no session, whether or not one runs, and reports its failure.
    template <typename Command> void Guard(Command&& command, TFailureReport report = TFailureReport::Box)
    {
        try {
            std::forward<Command>(command)();
        } catch (const std::exception& failure) {
            if (!cancelRequested_)
                Report(QString::fromUtf8(failure.what()), report);
        }
    }

private:
    // The gate is shut while it lives, however the command ends.
    class TRunning {
    public:
        explicit TRunning(TMailCommandGate& gate) : gate_(gate)
        {
            gate_.cancelRequested_ = false;
            gate_.SetBusy(true);
        }
        ~TRunning()
        {
            gate_.cancelRequested_ = false;
            gate_.SetBusy(false);
        }
        TRunning(const TRunning&) = delete;
        TRunning& operator=(const TRunning&) = delete;

    private:
        TMailCommandGate& gate_;
    };

    void SetBusy(bool busy)
    {
        busy_ = busy;
        if (OnBusyChanged)
            OnBusyChanged(busy);
    }
    void Report(const QString& text, TFailureReport report)
    {
        if (OnFailure)
            OnFailure(text, report);
    }

    bool busy_ = false;
    bool cancelRequested_ = false;
};

// What the pages borrow from the mail window: the incoming server, the status bar and the gate.
struct TMailServices {
    TIncomingService* incoming = nullptr;
    TMailStatus* status = nullptr;
    TMailCommandGate* commands = nullptr;
};

} // namespace quietpane
