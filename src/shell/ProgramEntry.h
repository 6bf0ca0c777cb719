#pragma once

#include "shell/formWeb.h"

namespace quietpane {

class TQuietpaneApplication;

// The program's run: the application title, the main window, the mail window and the About
// box in this order, then the message loop until the main window closes. Returns the exit
// status: non-zero when start-up asked the program to end.
int RunQuietpane(TQuietpaneApplication& application, const TfrmWebSetup& setup = {});

} // namespace quietpane
