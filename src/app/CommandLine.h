#pragma once

#include <QString>
#include <QStringList>

namespace quietpane {

// What the command line asks for.
struct TCommandLine {
    enum class TAction { Run, ShowHelp, ShowVersion, Hide, Restore, Toggle, Fail };
    TAction action = TAction::Run;
    QString address; // the page to open; empty: none
    QString error;   // why the command line was refused (Fail)
};

// Reads the arguments after the program name: "--help"/"-h", "--version"/"-v", one of the
// window commands "--hide", "--restore", "--toggle" (alone), or at most one address. Anything
// else fails, with the reason.
TCommandLine ParseCommandLine(const QStringList& arguments);

// True for the actions that the running program carries out (Hide, Restore, Toggle).
bool IsWindowCommand(TCommandLine::TAction action);
// The word a window command travels as to the running program ("hide", "restore", "toggle").
QString WindowCommandWord(TCommandLine::TAction action);

// The text "--help" prints.
QString CommandLineHelp(const QString& programName);

} // namespace quietpane
