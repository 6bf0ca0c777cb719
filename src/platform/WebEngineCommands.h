#pragma once

#include "platform/PagePropertiesDialog.h"

class QPrinter;
class QWebEngineView;

namespace quietpane {

// The browser control's page commands on the web engine: save as, print, print preview and
// properties, each opening its dialog through Dialogs().
class TWebEngineCommands {
public:
    explicit TWebEngineCommands(QWebEngineView& view);

    // Supported and enabled bits (TBrowserControl::CommandSupported, CommandEnabled).
    int QueryStatus(int command) const;
    // Raises EBrowserError for a command it doesn't know or one that fails in the engine.
    void Execute(int command, int option);

    TPageProperties ReadProperties();

private:
    bool HasPage() const;
    void SaveAs();
    void Print();
    void PrintPreview();
    void Properties();
    // Draws the page into the printer and returns once the engine has finished.
    void PaintPage(QPrinter& printer);
    // Writes the page as the engine lays it out for print into the printer's PDF file: text
    // and drawings stay vectors, the text selectable.
    void WritePdf(const QPrinter& printer);

    QWebEngineView& view_;
};

} // namespace quietpane
