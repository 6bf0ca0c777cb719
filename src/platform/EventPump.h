#pragma once

class TIdAntiFreezeBase;

namespace quietpane {

// Lets pending Qt events run while the mail library waits on a socket: all of them when the
// application has priority, otherwise one round of the event dispatcher.
void PumpQtEvents(bool applicationHasPriority);

// While it lives, a network call that waits lets no events run: for a window that is going, whose
// handlers must not run in between.
class TEventPumpPause {
public:
    TEventPumpPause();
    ~TEventPumpPause();
    TEventPumpPause(const TEventPumpPause&) = delete;
    TEventPumpPause& operator=(const TEventPumpPause&) = delete;

private:
    TIdAntiFreezeBase* paused_;
    bool wasActive_ = false;
};

} // namespace quietpane
