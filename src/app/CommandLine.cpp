#include "app/CommandLine.h"

#include <algorithm>
#include <array>
#include <utility>

namespace quietpane {

namespace {

using TAction = TCommandLine::TAction;

constexpr std::array<std::pair<TAction, const char*>, 3> kWindowCommands{
    {{TAction::Hide, "hide"}, {TAction::Restore, "restore"}, {TAction::Toggle, "toggle"}}};

} // namespace

TCommandLine ParseCommandLine(const QStringList& arguments)
{
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
            const auto command =
                std::find_if(kWindowCommands.begin(), kWindowCommands.end(), [&](const auto& entry) {
                    return argument == QLatin1String("--") + QLatin1String(entry.second);
                });
            if (command == kWindowCommands.end())
                return {TAction::Fail, {}, QStringLiteral("unknown option '%1'").arg(argument)};
            if (line.action != TAction::Run)
                return {TAction::Fail,
                        {},
                        QStringLiteral("only one of --hide, --restore and --toggle can be given")};
            line.action = command->first;
        } else if (!line.address.isEmpty()) {
            return {TAction::Fail, {}, QStringLiteral("only one address can be opened")};
        } else {
            line.address = argument;
        }
    }
    if (IsWindowCommand(line.action) && !line.address.isEmpty())
        return {
            TAction::Fail, {}, QStringLiteral("--%1 opens no address").arg(WindowCommandWord(line.action))};
    return line;
}

bool IsWindowCommand(TAction action)
{
    return !WindowCommandWord(action).isEmpty();
}

QString WindowCommandWord(TAction action)
{
    for (const auto& [commandAction, word] : kWindowCommands) {
        if (commandAction == action)
            return QLatin1String(word);
    }
    return {};
}

QString CommandLineHelp(const QString& programName)
{
    return QStringLiteral("Usage: %1 [ADDRESS]\n"
                          "       %1 --hide | --restore | --toggle\n"
                          "A web browser that Ctrl+Alt+H hides and Ctrl+Alt+O brings back.\n"
                          "\n"
                          "Opens ADDRESS when given. When Quietpane runs already, its window comes back\n"
                          "(opening ADDRESS) and this start ends.\n"
                          "\n"
                          "The window commands act on the Quietpane that runs already, on every desktop\n"
                          "(X11 or Wayland): bind them to keys in the desktop's keyboard shortcuts where\n"
                          "the hotkeys do not reach the program. They end with status 1 when none runs.\n"
                          "\n"
                          "  --hide         hide the running Quietpane's window\n"
                          "  --restore      bring the running Quietpane's window back\n"
                          "  --toggle       hide the window when it is shown, else bring it back\n"
                          "  -h, --help     show this help and end\n"
                          "  -v, --version  show the version and end\n")
        .arg(programName);
}

} // namespace quietpane
