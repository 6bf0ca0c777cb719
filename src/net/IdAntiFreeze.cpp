#include "net/IdAntiFreeze.h"

#include "net/IdGlobal.h"

TIdAntiFreezeBase* CurrentAntiFreeze = nullptr;

TIdAntiFreezeBase::TIdAntiFreezeBase()
{
    CurrentAntiFreeze = this;
}

TIdAntiFreezeBase::~TIdAntiFreezeBase()
{
    CurrentAntiFreeze = nullptr;
}

void TIdAntiFreezeBase::KeepResponsive(bool idle, bool override)
{
    if (CurrentAntiFreeze == nullptr || !IsMainThread()) {
        return;
    }
    if ((!CurrentAntiFreeze->OnlyWhenIdle || idle || override) && CurrentAntiFreeze->Active) {
        CurrentAntiFreeze->PumpMessages();
    }
}

void TIdAntiFreeze::PumpMessages()
{
    if (MessagePump) {
        MessagePump(ApplicationHasPriority);
    }
}
