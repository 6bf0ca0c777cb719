#include "platform/WebEngineCommands.h"

#include "platform/BrowserCommands.h"
#include "platform/BrowserControl.h"
#include "platform/Dialogs.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QPrinter>
#include <QTimer>
#include <QVariantList>
#include <QWebEngineDownloadRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <memory>
#include <optional>

namespace quietpane {

namespace {

// The engine answers printing, saving and scripts later; a command waits for the answer this long.
constexpr int EngineAnswerTimeoutMs = 60000;

// A local event loop that runs until Done() is called or the time is up.
class EngineAnswer {
public:
    void Done()
    {
        answered_ = true;
        loop_.quit();
    }
    bool Wait(int timeoutMs = EngineAnswerTimeoutMs)
    {
        if (answered_)
            return true;
        QTimer::singleShot(timeoutMs, &loop_, &QEventLoop::quit);
        loop_.exec();
        return answered_;
    }

private:
    QEventLoop loop_;
    bool answered_ = false;
};

// A file name the page's title can give without folders or awkward characters.
QString ProposedFileName(const QString& title)
{
    QString name = title.simplified();
    for (QChar& character : name)
        if (character == QLatin1Char('/') || character == QLatin1Char('\\') || character == QLatin1Char(':'))
            character = QLatin1Char('_');
    return (name.isEmpty() ? QStringLiteral("page") : name) + QStringLiteral(".htm");
}

} // namespace

TWebEngineCommands::TWebEngineCommands(QWebEngineView& view) : view_(view) {}

bool TWebEngineCommands::HasPage() const
{
    const QUrl address = view_.url();
    return !address.isEmpty() && address != QUrl(QStringLiteral("about:blank"));
}

int TWebEngineCommands::QueryStatus(int command) const
{
    switch (command) {
    case CommandSaveAs:
    case CommandPrint:
    case CommandPrintPreview:
    case CommandProperties:
        return TBrowserControl::CommandSupported | (HasPage() ? TBrowserControl::CommandEnabled : 0);
    default:
        return 0;
    }
}

void TWebEngineCommands::Execute(int command, int)
{
    switch (command) {
    case CommandSaveAs:
        return SaveAs();
    case CommandPrint:
        return Print();
    case CommandPrintPreview:
        return PrintPreview();
    case CommandProperties:
        return Properties();
    default:
        throw EBrowserError("Command " + std::to_string(command) + " is not supported.");
    }
}

void TWebEngineCommands::SaveAs()
{
    const QString chosen = Dialogs().SaveFileName(view_.window(), ProposedFileName(view_.title()),
                                                  QStringLiteral("Web Page, complete (*.htm *.html)"), true);
    if (chosen.isEmpty())
        return;
    // The engine puts a relative name under its download folder; the user means the current folder.
    const QString path = QFileInfo(chosen).absoluteFilePath();
    EngineAnswer answer;
    std::optional<QWebEngineDownloadRequest::DownloadState> outcome;
    QObject listening; // its end ends every connection made for this save
    QObject::connect(view_.page()->profile(), &QWebEngineProfile::downloadRequested, &listening,
                     [&](QWebEngineDownloadRequest* download) {
                         if (!download->isSavePageDownload())
                             return;
                         auto report = [&, download] {
                             if (download->isFinished()) {
                                 outcome = download->state();
                                 answer.Done();
                             }
                         };
                         QObject::connect(download, &QWebEngineDownloadRequest::isFinishedChanged, &listening,
                                          report);
                         report();
                     });
    view_.page()->save(path, QWebEngineDownloadRequest::CompleteHtmlSaveFormat);
    const bool answered = answer.Wait();
    // The engine reports a page it could not write as completed too, so the file is looked for.
    if (!answered || outcome != QWebEngineDownloadRequest::DownloadCompleted || !QFileInfo(path).isFile())
        throw EBrowserError("The page could not be saved to " + path.toStdString() + ".");
}

void TWebEngineCommands::PaintPage(QPrinter& printer)
{
    EngineAnswer answer;
    bool success = false;
    QObject listening;
    QObject::connect(&view_, &QWebEngineView::printFinished, &listening, [&](bool ok) {
        success = ok;
        answer.Done();
    });
    view_.print(&printer);
    const bool answered = answer.Wait();
    if (!answered || !success)
        throw EBrowserError("The page could not be printed.");
}

void TWebEngineCommands::WritePdf(const QPrinter& printer)
{
    EngineAnswer answer;
    bool success = false;
    QObject listening;
    QObject::connect(view_.page(), &QWebEnginePage::pdfPrintingFinished, &listening,
                     [&](const QString&, bool ok) {
                         success = ok;
                         answer.Done();
                     });
    view_.page()->printToPdf(printer.outputFileName(), printer.pageLayout(), printer.pageRanges());
    const bool answered = answer.Wait();
    if (!answered || !success)
        throw EBrowserError("The page could not be printed to " + printer.outputFileName().toStdString() +
                            ".");
}

void TWebEngineCommands::Print()
{
    // A printer gets pictures of the pages at its own resolution, not the screen's.
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(view_.title());
    if (!Dialogs().Print(view_.window(), printer))
        return;
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty())
        WritePdf(printer);
    else
        PaintPage(printer);
}

void TWebEngineCommands::PrintPreview()
{
    QPrinter printer;
    printer.setDocName(view_.title());
    Dialogs().PrintPreview(view_.window(), printer, [this](QPrinter& target) { PaintPage(target); });
}

TPageProperties TWebEngineCommands::ReadProperties()
{
    TPageProperties properties;
    properties.title = view_.title();
    properties.address = view_.url().toString();
    properties.protocol = ProtocolName(view_.url());
    // The script's answer may come after the wait has given up, so it writes into shared state.
    struct ScriptAnswer {
        EngineAnswer answer;
        QVariantList facts;
    };
    auto script = std::make_shared<ScriptAnswer>();
    view_.page()->runJavaScript(
        QStringLiteral("(function() {"
                       "  var entry = performance.getEntriesByType('navigation')[0];"
                       "  var size = entry && entry.decodedBodySize > 0 ? entry.decodedBodySize"
                       "             : new Blob([document.documentElement.outerHTML]).size;"
                       "  return [document.contentType, document.characterSet, document.lastModified, size];"
                       "})()"),
        [script](const QVariant& result) {
            script->facts = result.toList();
            script->answer.Done();
        });
    if (script->answer.Wait(5000) && script->facts.size() == 4) {
        properties.type = script->facts[0].toString();
        properties.characterSet = script->facts[1].toString();
        properties.lastModified = script->facts[2].toString();
        properties.size = script->facts[3].toLongLong();
    }
    return properties;
}

void TWebEngineCommands::Properties()
{
    TPagePropertiesDialog dialog(ReadProperties(), view_.window());
    Dialogs().ShowModal(dialog);
}

} // namespace quietpane
