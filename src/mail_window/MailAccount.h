#pragma once

#include <QString>

namespace quietpane {

// One server of the account as a mail session needs it, with the login both servers share and
// the password as the user typed it.
struct TServerAccount {
    QString host;
    QString port;
    QString userId;
    QString password;
    // The session may run without TLS off this machine.
    bool allowPlain = false;

    bool operator==(const TServerAccount&) const = default;
};

// The mail account: the one row of the "Email" table, as the Setup tab shows it. The password is
// as the user typed it.
struct TMailAccount {
    QString serverOut;
    QString portOut;
    QString type;
    QString userId;
    QString password;
    QString name;
    QString email;
    QString serverIn;
    QString portIn;
    bool allowPlain = false;

    bool operator==(const TMailAccount&) const = default;

    TServerAccount Outgoing() const;
    TServerAccount Incoming() const;
    // The sender as the Send Email tab shows it: Name, three blanks, Email in angle brackets.
    QString FromText() const;
};

} // namespace quietpane
