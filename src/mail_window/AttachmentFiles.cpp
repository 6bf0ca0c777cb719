#include "mail_window/AttachmentFiles.h"

#include "message/IdMessage.h"
#include "net/IdGlobal.h"

#include <QDesktopServices>
#include <QFile>
#include <QSaveFile>
#include <QUrl>

#include <filesystem>

namespace quietpane {

namespace {

constexpr qint64 kCopyChunk = 1 << 20;

std::function<void(const QUrl&)>& Opener()
{
    static std::function<void(const QUrl&)> opener;
    return opener;
}

} // namespace

bool SaveAttachmentAs(const TIdAttachment& attachment, const QString& path, QString& failure)
{
    QFile source(QString::fromStdString(attachment.StoredFileName));
    if (!source.open(QIODevice::ReadOnly)) {
        failure = source.errorString();
        return false;
    }
    // Written beside the target and renamed over it once complete, so a failure leaves an
    // existing file as it was.
    QSaveFile target(path);
    if (!target.open(QIODevice::WriteOnly)) {
        failure = target.errorString();
        return false;
    }
    while (!source.atEnd()) {
        const QByteArray chunk = source.read(kCopyChunk);
        if (chunk.isEmpty() && source.error() != QFileDevice::NoError) {
            failure = source.errorString();
            return false;
        }
        if (target.write(chunk) != chunk.size()) {
            failure = target.errorString();
            return false;
        }
    }
    if (!target.commit()) {
        failure = target.errorString();
        return false;
    }
    // A replaced file keeps its permissions; an attachment must never become a program.
    const QFileDevice::Permissions executable =
        QFileDevice::ExeOwner | QFileDevice::ExeUser | QFileDevice::ExeGroup | QFileDevice::ExeOther;
    const QFileDevice::Permissions permissions = QFile::permissions(path);
    if ((permissions & executable) && !QFile::setPermissions(path, permissions & ~executable)) {
        failure = QStringLiteral("Cannot remove the execute permission");
        return false;
    }
    return true;
}

void OpenSavedAttachment(const QString& path)
{
    const QUrl url = QUrl::fromLocalFile(path);
    if (Opener())
        Opener()(url);
    else
        QDesktopServices::openUrl(url);
}

void SetAttachmentOpener(std::function<void(const QUrl&)> opener)
{
    Opener() = std::move(opener);
}

} // namespace quietpane
