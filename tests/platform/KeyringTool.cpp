// Runs one call of the keyring password store, or one move of the scrambled password, in a
// process of its own, as the program would at a start: the tests restart the keyring between
// calls, and a process keeps its first session with the keyring for its whole life.
//   KeyringTool store KEY PASSWORD | read KEY | delete KEY | move DATABASE
// Prints the outcome, then the password and the reason, each on a line of its own.
#include "platform/KeyringPasswordStore.h"
#include "platform/PasswordMove.h"
#include "platform/SettingsDatabase.h"

#include <QCoreApplication>

#include <algorithm>
#include <array>
#include <iostream>

using namespace quietpane;

namespace {

// The enumerators' names, in their order.
const char* OutcomeName(TPasswordOutcome outcome)
{
    return std::array{"Done", "NoEntry", "NoSecretService", "Refused"}.at(static_cast<size_t>(outcome));
}

const char* ResultName(TPasswordMoveResult result)
{
    return std::array{"NothingToMove", "Moved", "Kept"}.at(static_cast<size_t>(result));
}

void Print(const QString& first, const TPasswordReply& reply)
{
    std::cout << first.toStdString() << '\n'
              << reply.password.toStdString() << '\n'
              << reply.reason.toStdString() << std::endl;
    QCoreApplication::quit();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments().mid(1);
    TKeyringPasswordStore store;
    const auto printReply = [](const TPasswordReply& reply) {
        Print(QString::fromLatin1(OutcomeName(reply.outcome)), reply);
    };
    // The tests' stand-in for the mail window's scrambling: the column holds the password reversed.
    const auto unscramble = [](const QString& stored) {
        QString text = stored;
        std::reverse(text.begin(), text.end());
        return text;
    };
    std::unique_ptr<TScrambledPasswordMove> move;
    const QString command = arguments.value(0);
    if (command == QLatin1String("store")) {
        store.Store(arguments.value(1), arguments.value(2), printReply);
    } else if (command == QLatin1String("read")) {
        store.Read(arguments.value(1), printReply);
    } else if (command == QLatin1String("delete")) {
        store.Delete(arguments.value(1), printReply);
    } else if (command == QLatin1String("move")) {
        OpenSettingsDatabase(QStringLiteral("move"), arguments.value(1));
        move = std::make_unique<TScrambledPasswordMove>(QStringLiteral("move"), store, unscramble);
        move->Start([](const TPasswordMoveReport& report) {
            Print(QString::fromLatin1(ResultName(report.result)) + QLatin1Char(' ') +
                      QString::fromLatin1(OutcomeName(report.failure.outcome)),
                  {report.failure.outcome, report.password, report.failure.reason});
        });
    } else {
        std::cerr << "usage: KeyringTool store KEY PASSWORD | read KEY | delete KEY | move DATABASE\n";
        return 2;
    }
    return application.exec();
}
