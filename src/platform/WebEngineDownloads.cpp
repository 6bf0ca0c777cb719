#include "platform/WebEngineDownloads.h"

#include "platform/BrowserControl.h"
#include "platform/Dialogs.h"
#include "platform/MessageBoxes.h"

#include <QDir>
#include <QFileInfo>
#include <QWebEngineDownloadRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

namespace quietpane {

namespace {

QString TargetPath(const QWebEngineDownloadRequest& download)
{
    return QDir(download.downloadDirectory()).filePath(download.downloadFileName());
}

// Why the download stopped. The engine reports some reasons that have no name in Qt and would
// read as the user's cancel.
QString FailureReason(const QWebEngineDownloadRequest& download)
{
    constexpr int kServerNoRange = 31, kServerContentLengthMismatch = 38, kServerCrossOriginRedirect = 39;
    switch (static_cast<int>(download.interruptReason())) {
    case kServerNoRange:
        return QStringLiteral("The server cannot send the rest of the file");
    case kServerContentLengthMismatch:
        return QStringLiteral("The connection ended before the whole file had arrived");
    case kServerCrossOriginRedirect:
        return QStringLiteral("The server sent the download elsewhere");
    default:
        return download.interruptReasonString();
    }
}

} // namespace

TWebEngineDownloads::TWebEngineDownloads(QWebEnginePage& page, TBrowserControl& control)
    : page_(page), control_(control)
{
    connect(page.profile(), &QWebEngineProfile::downloadRequested, this,
            [this](QWebEngineDownloadRequest* download) {
                if (download->page() == &page_ && !download->isSavePageDownload())
                    Begin(*download);
            });
}

void TWebEngineDownloads::Begin(QWebEngineDownloadRequest& download)
{
    // The page's load ended when the download took over; the status says what goes on instead.
    Status(QStringLiteral("Downloading %1").arg(download.downloadFileName()));
    // The engine proposes the user's download folder and a free name from the server's suggestion.
    const QWebEngineView* view = QWebEngineView::forPage(&page_);
    const QString chosen = Dialogs().SaveFileName(view ? view->window() : nullptr, TargetPath(download),
                                                  QStringLiteral("All files (*)"), true);
    if (chosen.isEmpty()) {
        download.cancel();
        Status(QStringLiteral("Download cancelled"));
        return;
    }
    const QFileInfo target(chosen);
    download.setDownloadDirectory(target.absolutePath());
    download.setDownloadFileName(target.fileName());
    connect(&download, &QWebEngineDownloadRequest::receivedBytesChanged, this,
            [this, &download] { Progress(download); });
    connect(&download, &QWebEngineDownloadRequest::isFinishedChanged, this, [this, &download] {
        if (download.isFinished())
            Finish(download);
    });
    // A download cut off by the network stays waiting to be resumed, which this browser never
    // asks for: it ends here with the reason.
    connect(&download, &QWebEngineDownloadRequest::interruptReasonChanged, this, [this, &download] {
        if (download.isFinished() || download.interruptReason() == QWebEngineDownloadRequest::NoReason)
            return;
        disconnect(&download, nullptr, this, nullptr);
        Fail(download);
        download.cancel();
    });
    download.accept();
    Progress(download);
}

void TWebEngineDownloads::Progress(const QWebEngineDownloadRequest& download)
{
    const qint64 received = download.receivedBytes(), total = download.totalBytes();
    const QString name = download.downloadFileName();
    if (total > 0) {
        Status(QStringLiteral("Downloading %1: %2 of %3 bytes").arg(name).arg(received).arg(total));
        if (control_.OnProgressChange)
            control_.OnProgressChange(static_cast<int>(received * 100 / total), 100);
    } else {
        Status(QStringLiteral("Downloading %1: %2 bytes").arg(name).arg(received));
    }
}

void TWebEngineDownloads::Finish(const QWebEngineDownloadRequest& download)
{
    switch (download.state()) {
    case QWebEngineDownloadRequest::DownloadCompleted:
        if (control_.OnProgressChange)
            control_.OnProgressChange(-1, 100);
        Status(QStringLiteral("Download complete: ") + QDir::toNativeSeparators(TargetPath(download)));
        break;
    case QWebEngineDownloadRequest::DownloadCancelled:
        if (control_.OnProgressChange)
            control_.OnProgressChange(-1, 100);
        Status(QStringLiteral("Download cancelled"));
        break;
    default:
        Fail(download);
        break;
    }
}

void TWebEngineDownloads::Fail(const QWebEngineDownloadRequest& download)
{
    if (control_.OnProgressChange)
        control_.OnProgressChange(-1, 100);
    const QString failure = QStringLiteral("%1 could not be downloaded: %2.")
                                .arg(QDir::toNativeSeparators(TargetPath(download)), FailureReason(download));
    Status(failure);
    MessageBoxes().Error(failure);
}

void TWebEngineDownloads::Status(const QString& text)
{
    if (control_.OnStatusTextChange)
        control_.OnStatusTextChange(text);
}

} // namespace quietpane
