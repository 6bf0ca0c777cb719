#pragma once

#include "mail_window/MailAccount.h"

#include <QString>

#include <utility>

namespace quietpane {

// What the last mailbox check found; the status bar reports the size.
struct TMailboxState {
    int MessageCount = 0;
    int MailboxSizeK = 0;
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

// Lets one mail command run at a time. A command started while another runs (possible while
// the anti-freeze pumps events inside a network call) is ignored instead of interleaving its
// commands with the running one's on the same session.
class TMailCommandGate {
public:
    // Held while a command runs; the gate opens again when it goes.
    class TPass {
    public:
        explicit TPass(TMailCommandGate& gate) : gate_(&gate) { gate_->busy_ = true; }
        TPass(TPass&& other) noexcept : gate_(other.gate_) { other.gate_ = nullptr; }
        TPass(const TPass&) = delete;
        TPass& operator=(const TPass&) = delete;
        TPass& operator=(TPass&&) = delete;
        ~TPass()
        {
            if (gate_)
                gate_->busy_ = false;
        }

    private:
        TMailCommandGate* gate_;
    };

    bool Busy() const { return busy_; }

    // Runs the command unless another one is running; true when it ran.
    template <typename Command> bool Run(Command&& command)
    {
        if (busy_)
            return false;
        TPass pass(*this);
        std::forward<Command>(command)();
        return true;
    }

private:
    bool busy_ = false;
};

} // namespace quietpane
