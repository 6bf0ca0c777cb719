#pragma once

// Driving the mail window as a person does: controls found by name, clicks, typing key by key
// (header-only: only the mail window's tests include it).

#include "platform/GuardedApplication.h"
#include "support/QtTestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QWidget>

#include <stdexcept>
#include <string>

namespace quietpane::test {

template <class Control> Control& Child(QWidget& window, const char* name)
{
    auto* child = window.findChild<Control*>(QLatin1String(name));
    if (!child)
        throw std::runtime_error(std::string("no control ") + name);
    return *child;
}

// A failure in the handler goes to the error box, as from a click with the mouse.
inline void Click(QWidget& window, const char* button)
{
    RunGuarded([&] { Child<QAbstractButton>(window, button).click(); });
}

// Typing as a person does: what the box held is selected and typed over key by key.
inline void Type(QWidget& window, const char* box, const QString& text)
{
    QWidget& target = Child<QWidget>(window, box);
    if (auto* line = qobject_cast<QLineEdit*>(&target))
        line->selectAll();
    else if (auto* editor = qobject_cast<QPlainTextEdit*>(&target))
        editor->selectAll();
    for (const QChar character : text) {
        const bool lineEnd = character == QLatin1Char('\n');
        QKeyEvent press(QEvent::KeyPress, lineEnd ? Qt::Key_Return : 0, Qt::NoModifier,
                        lineEnd ? QStringLiteral("\r") : QString(character));
        QApplication::sendEvent(&target, &press);
    }
}

// Until the window knows where the account's password is kept: the keyring answers later. A
// window that could not read its account never asks. False after the timeout.
inline bool AwaitPasswordPlace(QWidget& window)
{
    return WaitUntil([&] {
        return !Child<QLabel>(window, "lblPasswordPlace").text().startsWith(QLatin1String("Waiting"));
    });
}

} // namespace quietpane::test
