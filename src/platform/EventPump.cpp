#include "platform/EventPump.h"

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

} // namespace quietpane
