#pragma once

#include "mail_window/MailAccount.h"
#include "platform/PasswordMove.h"

#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace quietpane {

// Where the account's password is kept, and when it is known. The desktop's keyring keeps it;
// the settings database keeps it scrambled only where no keyring runs or the keyring refuses.
// The keyring answers later (it may first ask the user to unlock it), so a command that needs
// the password waits for the answer instead of holding up the window.
class TAccountPassword {
public:
    // store is borrowed; connectionName is the window's open settings database.
    TAccountPassword(TPasswordStore& store, const QString& connectionName);

    // After the account row was read (at start) or written (Update): a password in the row moves
    // into the keyring; with none there, the keyring's is read at start and deleted after an
    // Update, so that a password the user emptied stays empty.
    void Settle(const TMailAccount& stored, bool afterUpdate);
    // What the Setup tab and the status bar say while the keyring has yet to answer.
    static const QString kWaiting;

    bool IsKnown() const { return known_; }
    // Runs the command now when the password is known, else once the keyring has answered.
    void WhenKnown(std::function<void()> command);

    // The password the keyring gave for an account whose row holds none.
    std::function<void(const QString& password)> OnPasswordRead;
    // One line for the Setup tab: where the password is kept, or that the keyring has yet to answer.
    std::function<void(const QString& line)> OnPlace;

private:
    void Known(const QString& line);

    TPasswordStore& store_;
    TScrambledPasswordMove move_;
    QString account_; // the key the password is kept under
    bool known_ = true;
    std::vector<std::function<void()>> waiting_;
    // Answers of the keyring for an account settled again since are dropped, and so are those
    // that come after this object has gone.
    int settling_ = 0;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace quietpane
