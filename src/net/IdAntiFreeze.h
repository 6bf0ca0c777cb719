#pragma once

#include <functional>

#include "net/IdComponent.h"

// Keeps the user interface alive while a network call waits on the main thread: after wait
// slices (and, when asked, after sends) it lets the program process its pending events.
class TIdAntiFreezeBase : public TIdBaseComponent {
public:
    // Registers this component as the one the socket layer consults.
    TIdAntiFreezeBase();
    // Destroying any responsiveness component leaves none registered.
    ~TIdAntiFreezeBase() override;

    bool Active = true;
    // True: process every pending event; false: at most one.
    bool ApplicationHasPriority = true;
    // Length in ms of one wait slice.
    int IdleTimeOut = 250;
    // Pump only after a wait slice that ended without data.
    bool OnlyWhenIdle = true;

    virtual void PumpMessages() = 0;

    // Called after every wait slice and every send. Does nothing off the main thread.
    static void KeepResponsive(bool idle, bool override = false);
};

// The responsiveness component. The library knows no window system, so the program installs the
// function that processes its pending events.
class TIdAntiFreeze : public TIdAntiFreezeBase {
public:
    // Receives true when every pending event should be processed, false for at most one.
    std::function<void(bool processAll)> MessagePump;

    void PumpMessages() override;
};

// The registered responsiveness component, or null.
extern TIdAntiFreezeBase* CurrentAntiFreeze;
