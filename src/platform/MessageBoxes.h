#pragma once

#include <QString>

namespace quietpane {

// Every message box the windows show goes through this interface, so tests can read the
// messages instead of facing a modal box.
class TMessageBoxes {
public:
    virtual ~TMessageBoxes() = default;
    // A plain box with an OK button.
    virtual void ShowMessage(const QString& text) = 0;
    // A warning with an OK button.
    virtual void Warning(const QString& text) = 0;
    // An error box with an OK button.
    virtual void Error(const QString& text) = 0;
    // The application-wide box for a failure that escaped a handler.
    virtual void ApplicationError(const QString& text) = 0;
    // A question with OK and Cancel; true for OK.
    virtual bool Confirm(const QString& text) = 0;
};

// The boxes in use: Qt's message boxes unless a replacement is installed.
TMessageBoxes& MessageBoxes();
// Installs a replacement (borrowed, not owned); nullptr goes back to Qt's boxes.
void SetMessageBoxes(TMessageBoxes* replacement);

} // namespace quietpane
