#include "platform/GuardedApplication.h"

#include "platform/EventPump.h"
#include "support/QtTestSupport.h"

#include <QGuiApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <stdexcept>

using namespace quietpane;

namespace {

class Throwing final : public QObject {
protected:
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::User)
            throw std::runtime_error("The handler failed.");
        return QObject::event(event);
    }
};

TEST(GuardedApplication, FailureInAnEventHandlerIsShownAndTheProgramGoesOn)
{
    test::TestApplication();
    test::RecordingMessageBoxes boxes;
    Throwing receiver;
    QEvent failing(QEvent::User);
    QCoreApplication::sendEvent(&receiver, &failing);
    EXPECT_EQ(boxes.applicationErrors, QStringList({"The handler failed."}));

    // Through the event loop too: the loop keeps running and the next event arrives.
    bool later = false;
    QCoreApplication::postEvent(&receiver, new QEvent(QEvent::User));
    QTimer::singleShot(0, [&] { later = true; });
    EXPECT_TRUE(test::WaitUntil([&] { return later; }, 5000));
    EXPECT_EQ(boxes.applicationErrors.size(), 2);

    RunGuarded([] { throw 42; });
    EXPECT_EQ(boxes.applicationErrors.last(), "Unknown error.");
}

TEST(GuardedApplication, BusyCursorIsTheHourglassAndFalseLeavesNoOverride)
{
    test::TestApplication();
    ShowBusyCursor(true);
    ShowBusyCursor(true);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    ShowBusyCursor(false);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(GuardedApplication, CursorRestorerPutsBackTheCursorItFound)
{
    test::TestApplication();
    {
        TCursorRestorer restorer;
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    QGuiApplication::setOverrideCursor(Qt::PointingHandCursor);
    {
        TCursorRestorer restorer;
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::PointingHandCursor);
    ShowBusyCursor(false);
}

TEST(GuardedApplication, PumpRunsPendingEvents)
{
    test::TestApplication();
    int ran = 0;
    QTimer::singleShot(0, [&] { ++ran; });
    QTimer::singleShot(0, [&] { ++ran; });
    PumpQtEvents(true);
    EXPECT_EQ(ran, 2);
    QTimer::singleShot(0, [&] { ++ran; });
    PumpQtEvents(false);
    EXPECT_EQ(ran, 3);
}

} // namespace
