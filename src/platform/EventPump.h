#pragma once

namespace quietpane {

// Lets pending Qt events run while the mail library waits on a socket: all of them when the
// application has priority, otherwise one round of the event dispatcher.
void PumpQtEvents(bool applicationHasPriority);

} // namespace quietpane
