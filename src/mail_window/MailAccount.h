#pragma once

#include <QString>

namespace quietpane {

// One server of the account as the Setup tab shows it, with the login both servers share. The
// password is the box's text, which holds the scrambled form once the account is loaded.
struct TServerAccount {
    QString host;
    QString port;
    QString userId;
    QString password;

    bool operator==(const TServerAccount&) const = default;
};

} // namespace quietpane
