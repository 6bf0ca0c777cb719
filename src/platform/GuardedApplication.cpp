#include "platform/GuardedApplication.h"

#include "platform/MessageBoxes.h"

#include <QCursor>
#include <QGuiApplication>

namespace quietpane {

void ReportException(const std::exception_ptr& failure)
{
    QString text;
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& error) {
        text = QString::fromUtf8(error.what());
    } catch (...) {
        text = QStringLiteral("Unknown error.");
    }
    try {
        MessageBoxes().ApplicationError(text);
    } catch (...) {
        // The error box itself failed; there is nobody left to tell.
    }
}

TQuietpaneApplication::TQuietpaneApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TQuietpaneApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ReportException(std::current_exception());
        return false;
    }
}

void ShowBusyCursor(bool busy)
{
    if (busy) {
        if (QGuiApplication::overrideCursor())
            QGuiApplication::changeOverrideCursor(Qt::WaitCursor);
        else
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        return;
    }
    while (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
}

TCursorRestorer::TCursorRestorer()
    : hadOverride_(QGuiApplication::overrideCursor() != nullptr),
      shape_(hadOverride_ ? QGuiApplication::overrideCursor()->shape() : Qt::ArrowCursor)
{
    ShowBusyCursor(true);
}

TCursorRestorer::~TCursorRestorer()
{
    if (hadOverride_)
        QGuiApplication::changeOverrideCursor(QCursor(static_cast<Qt::CursorShape>(shape_)));
    else
        ShowBusyCursor(false);
}

} // namespace quietpane
