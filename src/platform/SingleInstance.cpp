#include "platform/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace quietpane {

namespace {

constexpr int kHandOverTimeoutMs = 10000;
// A command line can't carry a NUL byte, so a request that starts with one is a command, never an address.
constexpr QChar kCommandMark{0};

// Holds an exclusive lock on a file of the user's for as long as it lives (nothing when the
// file can't be made: the starts are then merely not kept apart).
class TFileLock {
public:
    explicit TFileLock(const QString& path)
        : descriptor_(open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600))
    {
        if (descriptor_ >= 0)
            flock(descriptor_, LOCK_EX);
    }
    ~TFileLock()
    {
        if (descriptor_ >= 0)
            close(descriptor_); // releases the lock
    }
    TFileLock(const TFileLock&) = delete;
    TFileLock& operator=(const TFileLock&) = delete;

private:
    int descriptor_;
};

} // namespace

TSingleInstance::TSingleInstance(const QString& socketName)
{
    if (QDir::isAbsolutePath(socketName)) {
        path_ = socketName;
        return;
    }
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    path_ = folder + QLatin1Char('/') + socketName;
}

TSingleInstance::~TSingleInstance() = default;

QString TSingleInstance::DefaultSocketName()
{
    return QStringLiteral("Quietpane-%1").arg(getuid());
}

bool TSingleInstance::HandOverOrListen(const QString& address)
{
    const TFileLock lock(path_ + QStringLiteral(".lock"));
    if (HandOver(address))
        return true;
    Listen();
    return false;
}

bool TSingleInstance::HandOverCommand(const QString& command)
{
    const TFileLock lock(path_ + QStringLiteral(".lock"));
    return HandOver(kCommandMark + command);
}

bool TSingleInstance::HandOver(const QString& address) const
{
    QLocalSocket socket;
    socket.connectToServer(path_);
    if (!socket.waitForConnected(kHandOverTimeoutMs))
        return false;
    socket.write(address.toUtf8() + '\n');
    // The running program closes the connection once it has acted on the request.
    if (!socket.waitForBytesWritten(kHandOverTimeoutMs))
        return false;
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(kHandOverTimeoutMs);
    return true;
}

void TSingleInstance::Listen()
{
    server_ = new QLocalServer(this);
    // Only the user may connect: another user's start must not reach this program.
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(path_)) {
        // Nobody answered HandOver, so the socket is a leftover of a program that ended.
        QLocalServer::removeServer(path_);
        server_->listen(path_);
    }
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* connection = server_->nextPendingConnection()) {
            connection->setParent(this);
            connect(connection, &QLocalSocket::readyRead, this, [this, connection] {
                if (!connection->canReadLine())
                    return;
                const QString address = QString::fromUtf8(connection->readLine()).chopped(1);
                connection->deleteLater();
                if (address.startsWith(kCommandMark)) {
                    if (OnCommand)
                        OnCommand(address.mid(1));
                } else if (OnRequest) {
                    OnRequest(address);
                }
                connection->disconnectFromServer();
            });
        }
    });
}

} // namespace quietpane
