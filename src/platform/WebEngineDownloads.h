#pragma once

#include <QObject>

class QWebEngineDownloadRequest;
class QWebEnginePage;

namespace quietpane {

class TBrowserControl;

// The downloads a page starts: each asks where to save it (the user's download folder and the
// name the server suggests are proposed), shows its progress through the control's progress
// and status events, and ends with the file complete on disk or an error box saying why not.
// Saving the page itself is the page commands' business and is left to them.
// The page must outlive it.
class TWebEngineDownloads final : public QObject {
public:
    TWebEngineDownloads(QWebEnginePage& page, TBrowserControl& control);

private:
    void Begin(QWebEngineDownloadRequest& download);
    void Progress(const QWebEngineDownloadRequest& download);
    void Finish(const QWebEngineDownloadRequest& download);
    void Fail(const QWebEngineDownloadRequest& download);
    void Status(const QString& text);

    QWebEnginePage& page_;
    TBrowserControl& control_;
};

} // namespace quietpane
