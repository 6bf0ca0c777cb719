#pragma once

#include "mail_window/MailAccount.h"

namespace quietpane {

class TWindowDatabase;

// Reads and writes the mail account: the one row of the "Email" table. The password is stored
// scrambled; the account holds it as typed.
class TAccountStore {
public:
    explicit TAccountStore(const TWindowDatabase& database) : database_(database) {}

    // Raise EDatabaseError when the row can't be read or written.
    TMailAccount Load() const;
    void Store(const TMailAccount& account) const;

private:
    const TWindowDatabase& database_;
};

} // namespace quietpane
