#pragma once

#include "app/CommandLine.h"
#include "shell/formWeb.h"

namespace quietpane {

class TQuietpaneApplication;
class TSingleInstance;

// What a start brings besides the windows' setup.
struct TProgramStart {
    QString address;                     // opened once the main window is up; empty: none
    TSingleInstance* instance = nullptr; // borrowed; later starts bring the main window back through it
};

// The program's run: the application title, the main window, the mail window and the About
// box in this order, then the message loop until the main window closes. Returns the exit
// status: non-zero when start-up asked the program to end.
int RunQuietpane(TQuietpaneApplication& application, const TfrmWebSetup& setup = {},
                 const TProgramStart& start = {});

// The installed or built program's start: reads the command line, hands it to a running
// program of the user's when there is one, else decides where the data lives and runs.
int StartQuietpane(TQuietpaneApplication& application);

// Hands a window command (Hide, Restore, Toggle) to the user's running program: 0 once it has
// acted on it, 1 (with a message on the standard error) when none runs. Needs no display.
int SendWindowCommand(TCommandLine::TAction action);

} // namespace quietpane
