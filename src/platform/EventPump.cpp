#include "platform/EventPump.h"

#include "net/IdAntiFreeze.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>

namespace quietpane {

void PumpQtEvents(bool applicationHasPriority)
{
    if (!QCoreApplication::instance())
        return;
    if (applicationHasPriority) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return;
    }
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        dispatcher->processEvents(QEventLoop::AllEvents);
}

TEventPumpPause::TEventPumpPause() : paused_(CurrentAntiFreeze)
{
    if (paused_) {
        wasActive_ = paused_->Active;
        paused_->Active = false;
    }
}

TEventPumpPause::~TEventPumpPause()
{
    // The one the program keeps outlives every window; a test's may have gone meanwhile.
    if (paused_ && paused_ == CurrentAntiFreeze)
        paused_->Active = wasActive_;
}

} // namespace quietpane
