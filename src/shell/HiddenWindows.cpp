#include "shell/HiddenWindows.h"

#include "platform/WindowHiding.h"

#include <QApplication>

namespace quietpane {

void THiddenWindows::Hide(const QWidget& mainWindow)
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        const bool ownWindow = window->windowType() == Qt::Window || window->windowType() == Qt::Dialog;
        if (window == &mainWindow || !ownWindow || !window->isVisible())
            continue;
        windows_.emplace_back(window);
        // A modal dialog hidden through Qt would end as if the user had cancelled it: it leaves
        // the screen behind Qt's back instead, and goes on waiting for its answer.
        if (window->isModal())
            WithdrawFromScreen(*window);
        else
            window->hide();
    }
}

void THiddenWindows::Restore()
{
    for (const QPointer<QWidget>& window : windows_) {
        if (!window)
            continue;
        if (window->isModal()) {
            // One that has ended meanwhile is hidden for Qt too and stays so.
            if (window->isVisible())
                ReturnToScreen(*window);
        } else {
            window->show();
        }
    }
    windows_.clear();
}

} // namespace quietpane
