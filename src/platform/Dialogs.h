#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>

class QDialog;
class QPrinter;

namespace quietpane {

// Every dialog a command opens (file, print, preview and modal windows) goes through this
// interface, so tests can answer them instead of a person.
class TDialogs {
public:
    virtual ~TDialogs() = default;
    // A file-save dialog with the proposed file preset and one filter ("Bitmap (*.bmp)");
    // returns the chosen file name as typed, or an empty text when the user cancels.
    virtual QString SaveFileName(QWidget* parent, const QString& proposedName, const QString& filter,
                                 bool confirmOverwrite) = 0;
    // A file-open dialog for one existing file; returns its full path, or an empty text when
    // the user cancels.
    virtual QString OpenFileName(QWidget* parent) = 0;
    // The print dialog for the printer; true when the user confirms.
    virtual bool Print(QWidget* parent, QPrinter& printer) = 0;
    // The print preview; paint draws the document into the printer it is handed, as often as the
    // preview asks for it.
    virtual void PrintPreview(QWidget* parent, QPrinter& printer,
                              const std::function<void(QPrinter&)>& paint) = 0;
    // Shows the dialog modally and returns once it is closed.
    virtual void ShowModal(QDialog& dialog) = 0;
    // Asks for a user name (user comes in as the name to propose) and a password under the
    // prompt; false when the user cancels.
    virtual bool Credentials(QWidget* parent, const QString& prompt, QString& user, QString& password) = 0;
};

// Lives as long as a dialog or message box of the program is open; when it goes, the window the
// box belongs to is activated again and its focus widget gets the keyboard back. Window managers
// need not do it (openbox refocuses no window that skips the task bar): typing would then reach
// another program. A window hidden meanwhile stays hidden.
class TFocusReturn {
public:
    // The window of parent, or the active window when there is no parent.
    explicit TFocusReturn(QWidget* parent);
    ~TFocusReturn();
    TFocusReturn(const TFocusReturn&) = delete;
    TFocusReturn& operator=(const TFocusReturn&) = delete;

private:
    QPointer<QWidget> window_;
    QPointer<QWidget> focus_;
};

// The dialogs in use: Qt's own unless a replacement is installed.
TDialogs& Dialogs();
// Installs a replacement (borrowed, not owned); nullptr goes back to Qt's dialogs.
void SetDialogs(TDialogs* replacement);

} // namespace quietpane
