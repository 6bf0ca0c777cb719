#pragma once

// Input to a page of the real web engine as the user gives it (header-only: only Qt tests include it).

#include "support/QtTestSupport.h"

#include <QMouseEvent>
#include <QWebEngineView>

#include <gtest/gtest.h>

namespace quietpane::test {

// A left click at the point of the view, as the user makes it: the engine takes it as a user's
// gesture (a click may open a window, and Back skips pages left without one). A freshly loaded
// page may not take input yet, so callers repeat it until the page reacts.
inline void ClickInPage(QWebEngineView& view, const QPointF& where)
{
    QWidget* target = view.focusProxy();
    ASSERT_NE(target, nullptr);
    auto send = [&](QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QMouseEvent event(type, where, target->mapToGlobal(where), button, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &event);
        WaitUntil([] { return false; }, 100);
    };
    send(QEvent::MouseMove, Qt::NoButton, Qt::NoButton);
    send(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton);
}

} // namespace quietpane::test
