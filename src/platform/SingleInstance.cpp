#include "platform/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace quietpane {

namespace {

constexpr int kHandOverTimeoutMs = 10000;
// A start that holds the lock longer than this has hung: the next start goes on without it.
constexpr std::chrono::milliseconds kLockWait{10000};
constexpr std::chrono::milliseconds kLockRetry{20};

// Holds an exclusive lock on a file of the user's for as long as it lives (nothing when the
// file can't be made or the lock is not had in time: the starts are then merely not kept apart).
class TFileLock {
public:
    explicit TFileLock(const QString& path)
        : descriptor_(
              open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600))
    {
        const auto giveUp = std::chrono::steady_clock::now() + kLockWait;
        while (descriptor_ >= 0 && flock(descriptor_, LOCK_EX | LOCK_NB) != 0 &&
               std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(kLockRetry);
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

// Made when missing; then it must be a folder itself (not a link), the user's, closed to others.
bool IsPrivateFolder(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QByteArray name = QFile::encodeName(path);
    mkdir(name.constData(), 0700);
    struct stat status {};
    return lstat(name.constData(), &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == getuid() &&
           (status.st_mode & 077) == 0;
}

// Whether the program listening at the other end runs as this user.
bool PeerIsThisUser(const QLocalSocket& socket)
{
    ucred peer{};
    socklen_t length = sizeof peer;
    return getsockopt(static_cast<int>(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &length) ==
               0 &&
           peer.uid == getuid();
}

} // namespace

TSingleInstance::TSingleInstance(const QString& socketName)
{
    if (QDir::isAbsolutePath(socketName)) {
        path_ = socketName;
        return;
    }
    const QString folder = PrivateFolder();
    if (!folder.isEmpty())
        path_ = folder + QLatin1Char('/') + socketName;
}

QString TSingleInstance::PrivateFolder()
{
    // Another local user can make a folder of the temporary folder's first and listen there.
    const QString candidates[] = {
        QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation),
        QDir::tempPath() + QStringLiteral("/Quietpane-%1").arg(getuid()),
        QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/Quietpane"),
    };
    for (const QString& folder : candidates) {
        if (!folder.isEmpty() && QDir::isAbsolutePath(folder) && IsPrivateFolder(folder))
            return folder;
    }
    return {};
}

TSingleInstance::~TSingleInstance() = default;

QString TSingleInstance::DefaultSocketName()
{
    return QStringLiteral("Quietpane-%1").arg(getuid());
}

bool TSingleInstance::HandOverOrListen(const QString& address)
{
    if (path_.isEmpty())
        return false;
    const TFileLock lock(path_ + QStringLiteral(".lock"));
    if (HandOver(address))
        return true;
    Listen();
    return false;
}

bool TSingleInstance::HandOver(const QString& address) const
{
    QLocalSocket socket;
    socket.connectToServer(path_);
    if (!socket.waitForConnected(kHandOverTimeoutMs) || !PeerIsThisUser(socket))
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
                if (OnRequest)
                    OnRequest(address);
                connection->disconnectFromServer();
            });
        }
    });
}

} // namespace quietpane
