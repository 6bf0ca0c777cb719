#include "app/CommandLine.h"

namespace quietpane {

TCommandLine ParseCommandLine(const QStringList& arguments)
{
    using TAction = TCommandLine::TAction;
    TCommandLine line;
    bool onlyAddresses = false;
    for (const QString& argument : arguments) {
        if (!onlyAddresses && argument == QLatin1String("--")) {
            onlyAddresses = true;
        } else if (!onlyAddresses &&
                   (argument == QLatin1String("--help") || argument == QLatin1String("-h"))) {
            return {TAction::ShowHelp, {}, {}};
        } else if (!onlyAddresses &&
                   (argument == QLatin1String("--version") || argument == QLatin1String("-v"))) {
            return {TAction::ShowVersion, {}, {}};
        } else if (!onlyAddresses && argument.startsWith(QLatin1Char('-'))) {
            return {TAction::Fail, {}, QStringLiteral("unknown option '%1'").arg(argument)};
        } else if (!line.address.isEmpty()) {
            return {TAction::Fail, {}, QStringLiteral("only one address can be opened")};
        } else {
            line.address = argument;
        }
    }
    return line;
}

QString CommandLineHelp(const QString& programName)
{
    return QStringLiteral("Usage: %1 [ADDRESS]\n"
                          "A web browser that Ctrl+Alt+H hides and Ctrl+Alt+O brings back.\n"
                          "\n"
                          "Opens ADDRESS when given. When Quietpane runs already, its window comes back\n"
                          "(opening ADDRESS) and this start ends.\n"
                          "\n"
                          "  -h, --help     show this help and end\n"
                          "  -v, --version  show the version and end\n")
        .arg(programName);
}

} // namespace quietpane
