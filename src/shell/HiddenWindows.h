#pragma once

#include <QPointer>
#include <QWidget>

#include <vector>

namespace quietpane {

// The program's windows besides the main one (the mail window, open dialogs and boxes) that a
// hide took off the screen with it, so that the restore brings back exactly those.
class THiddenWindows final {
public:
    // Takes every shown top-level window of the program but mainWindow off the screen.
    void Hide(const QWidget& mainWindow);
    // Puts back what Hide took, in the same order; a window closed meanwhile stays closed.
    void Restore();

private:
    std::vector<QPointer<QWidget>> windows_;
};

} // namespace quietpane
