#include "app/CommandLine.h"

#include "support/QtTestSupport.h"

#include <gtest/gtest.h>

#include <ostream>

using namespace quietpane;
using TAction = TCommandLine::TAction;

namespace {

struct TLineCase {
    QStringList arguments;
    TAction action;
    QString address;
    QString error;
};

// Names each case after its arguments.
void PrintTo(const TLineCase& line, std::ostream* out)
{
    *out << '[' << line.arguments.join(QLatin1Char(' ')).toStdString() << ']';
}

class CommandLineTest : public ::testing::TestWithParam<TLineCase> {};

TEST_P(CommandLineTest, ReadsWhatTheArgumentsAskFor)
{
    const TCommandLine line = ParseCommandLine(GetParam().arguments);
    EXPECT_EQ(line.action, GetParam().action);
    EXPECT_EQ(line.address, GetParam().address);
    EXPECT_EQ(line.error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CommandLineTest,
    ::testing::Values(
        TLineCase{{}, TAction::Run, {}, {}},
        TLineCase{{"https://example.org/a b"}, TAction::Run, "https://example.org/a b", {}},
        TLineCase{{"--help"}, TAction::ShowHelp, {}, {}},
        TLineCase{{"example.org", "-h"}, TAction::ShowHelp, {}, {}},
        TLineCase{{"--version"}, TAction::ShowVersion, {}, {}},
        TLineCase{{"-v"}, TAction::ShowVersion, {}, {}},
        TLineCase{{"--", "-page-"}, TAction::Run, "-page-", {}},
        TLineCase{{"--", "--help"}, TAction::Run, "--help", {}},
        TLineCase{{"--private"}, TAction::Fail, {}, "unknown option '--private'"},
        TLineCase{{"a.example", "b.example"}, TAction::Fail, {}, "only one address can be opened"},
        TLineCase{{"--hide"}, TAction::Hide, {}, {}}, TLineCase{{"--restore"}, TAction::Restore, {}, {}},
        TLineCase{{"--toggle"}, TAction::Toggle, {}, {}},
        TLineCase{{"--toggle", "--help"}, TAction::ShowHelp, {}, {}},
        TLineCase{{"--", "--hide"}, TAction::Run, "--hide", {}},
        TLineCase{{"--hide", "--restore"},
                  TAction::Fail,
                  {},
                  "only one of --hide, --restore and --toggle can be given"},
        TLineCase{{"--restore", "a.example"}, TAction::Fail, {}, "--restore opens no address"}));

} // namespace
