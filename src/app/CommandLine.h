#pragma once

#include <QString>
#include <QStringList>

namespace quietpane {

// What the command line asks for.
struct TCommandLine {
    enum class TAction { Run, ShowHelp, ShowVersion, Fail };
    TAction action = TAction::Run;
    QString address; // the page to open; empty: none
    QString error;   // why the command line was refused (Fail)
};

// Reads the arguments after the program name: "--help"/"-h", "--version"/"-v", at most one
// address. Anything else fails, with the reason.
TCommandLine ParseCommandLine(const QStringList& arguments);

// The text "--help" prints.
QString CommandLineHelp(const QString& programName);

} // namespace quietpane
