#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;

namespace quietpane {

// One running program per user: the first start listens on a local socket of the user's own;
// a later start hands its request (an address, or none) to it and ends. Another user's
// program listens on a socket of its own and is never reached.
class TSingleInstance final : public QObject {
public:
    // socketName: a full path, or a name placed in $XDG_RUNTIME_DIR (else the temporary folder).
    explicit TSingleInstance(const QString& socketName = DefaultSocketName());
    ~TSingleInstance() override;

    // "Quietpane-<user id>".
    static QString DefaultSocketName();

    // Hands the address (empty: none) to a running program and waits until it has taken it;
    // true then, false when no program of the user's runs.
    bool HandOver(const QString& address) const;

    // From now on takes the requests of later starts: OnRequest(address) for each. A socket
    // left behind by a program that ended without removing it is taken over.
    void Listen();
    std::function<void(const QString& address)> OnRequest;

private:
    QString path_;
    QLocalServer* server_ = nullptr;
};

} // namespace quietpane
