#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;

namespace quietpane {

// One running program per user: the first start listens on a local socket of the user's own;
// a later start hands its request (an address, or none) to it and ends. Another user's
// program listens on a socket of its own and is never reached, and a socket that another user
// listens on is never handed anything.
class TSingleInstance final : public QObject {
public:
    // socketName: a full path, or a name placed in a folder only the user can reach: Qt's
    // runtime folder, else "Quietpane-<user id>" in the temporary folder, else "Quietpane" in the
    // user's cache folder. Without any, every start is the one.
    explicit TSingleInstance(const QString& socketName = DefaultSocketName());
    ~TSingleInstance() override;

    // "Quietpane-<user id>".
    static QString DefaultSocketName();

    // Hands the address (empty: none) to a running program of the user's and waits until it
    // has taken it: true then. Otherwise this program is the one: it takes the requests of
    // later starts from now on (OnRequest) and false is returned. Two starts at the same
    // moment settle it one after the other.
    bool HandOverOrListen(const QString& address);
    std::function<void(const QString& address)> OnRequest;

private:
    bool HandOver(const QString& address) const;
    // The first of the candidate folders that is private to the user; empty when none is.
    static QString PrivateFolder();
    // A socket left behind by a program that ended without removing it is taken over.
    void Listen();

    QString path_;
    QLocalServer* server_ = nullptr;
};

} // namespace quietpane
