// The built program with its mail window on an X server of its own with openbox, driven from
// outside: the mail window never ends the program, and no mail server holds it up.

#include "mail_window/PasswordScrambling.h"
#include "support/KeyringPeer.h"
#include "support/LoopbackServer.h"
#include "support/MailPeers.h"
#include "support/ProgramOnX.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>

using namespace quietpane::test;

namespace {

// The links bar's "Email" button, in the main window's client area.
constexpr int kEmailButtonX = 107, kEmailButtonY = 88;
// The mail window's "Check Mail", the first button of its toolbar.
constexpr int kCheckMailX = 30, kCheckMailY = 12;

class MailWindowProgramTest : public ::testing::Test {
protected:
    std::filesystem::path Database() const { return run.copy.ProgramFolder() / "Quietpane.mdb"; }
    // The main window's "Email" shows the mail window; none when it never comes.
    xcb_window_t ShowMailWindow()
    {
        run.Click(run.mainWindow, kEmailButtonX, kEmailButtonY);
        xcb_window_t mail = XCB_NONE;
        const bool shown =
            Eventually([&] { return (mail = run.VisibleWindowNamed("^Email$", run.mainWindow)) != XCB_NONE; },
                       ProgramOnX::ReactionTime) &&
            run.BecomesShown(mail);
        return shown ? mail : XCB_NONE;
    }

    ProgramOnX run{QUIETPANE_PROGRAM, QUIETPANE_DELIVERED_DATABASE};
};

TEST_F(MailWindowProgramTest,
       MailWindowHasNoTaskBarButtonAndClosingItWhileTheMainWindowIsHiddenKeepsTheProgram)
{
    ASSERT_TRUE(run.Start()) << run.copy.Log();
    const xcb_window_t mail = ShowMailWindow();
    ASSERT_NE(mail, XCB_NONE);
    EXPECT_TRUE(run.OffTheTaskBar(mail));
    // Without a task-bar button a minimised window could not be found again: it hides instead.
    run.server.Run({"xdotool", "windowminimize", std::to_string(mail)});
    ASSERT_TRUE(run.BecomesHidden(mail));
    run.Click(run.mainWindow, kEmailButtonX, kEmailButtonY);
    ASSERT_TRUE(run.BecomesShown(mail));

    run.Press("ctrl+alt+h");
    ASSERT_TRUE(run.BecomesHidden(run.mainWindow));
    ASSERT_TRUE(run.Activate(mail));
    run.Press("alt+F4"); // the window manager's close
    ASSERT_TRUE(run.BecomesHidden(mail));

    run.Press("ctrl+alt+o");
    ASSERT_TRUE(run.BecomesShown(run.mainWindow)) << run.copy.Log();
    EXPECT_TRUE(run.process->Running());
}

TEST_F(MailWindowProgramTest, OutgoingServerThatNeverGreetsHoldsUpNeitherStartNorEnd)
{
    std::atomic<bool> met{false};
    LoopbackServer silent([&](int connection) {
        met = true;
        ReceiveAll(connection); // until the program goes
    });
    RunProgram({"sqlite3", Database().string(),
                "UPDATE Email SET ServerOut = '127.0.0.1', PortOut = " + std::to_string(silent.Port())});

    ASSERT_TRUE(run.Start()) << run.copy.Log();
    ASSERT_TRUE(Eventually([&] { return met.load(); }, ProgramOnX::ReactionTime));
    // Hotkeys still work while the program waits for the greeting.
    run.Press("ctrl+alt+h");
    ASSERT_TRUE(run.BecomesHidden(run.mainWindow));
    run.Press("ctrl+alt+o");
    ASSERT_TRUE(run.BecomesShown(run.mainWindow));

    ASSERT_TRUE(run.Activate(run.mainWindow));
    run.Press("alt+F4");
    EXPECT_EQ(run.process->Wait(ProgramOnX::ReactionTime), 0) << run.copy.Log();
    silent.Join();
}

// The account's old scrambled password moves into the desktop's keyring at the first start; after
// a restart Check Mail logs in with the keyring's password, and the database holds it in no form.
TEST_F(MailWindowProgramTest, PasswordInTheKeyringLogsInAfterARestartAndLeavesNoTraceInTheDatabase)
{
    KeyringPeer keyring;
    keyring.Start();
    DovecotServer pop3;
    const std::filesystem::path delivered = pop3.Deliver("Subject: hello\r\n\r\nbody\r\n");
    const std::string scrambled =
        quietpane::ScramblePassword(QLatin1String(DovecotServer::Password)).toStdString();
    RunProgram({"sqlite3", Database().string(),
                "UPDATE Email SET ServerIn = '127.0.0.1', PortIn = " + std::to_string(pop3.Port()) +
                    ", UserID = 'alice', Password = '" + scrambled + "'"});

    ASSERT_TRUE(run.Start(keyring.Environment())) << run.copy.Log();
    // The column is emptied last, once the keyring gave the password back.
    const auto fileHoldsIt = [&] {
        const std::string file = ReadFile(Database());
        return file.find(scrambled) != std::string::npos ||
               file.find(DovecotServer::Password) != std::string::npos;
    };
    EXPECT_TRUE(Eventually([&] { return !fileHoldsIt(); }, ProgramOnX::ReactionTime));
    EXPECT_EQ(keyring.Lookup("alice@127.0.0.1"), DovecotServer::Password);
    run.process->Stop();

    ASSERT_TRUE(run.Start(keyring.Environment())) << run.copy.Log();
    const xcb_window_t mail = ShowMailWindow();
    ASSERT_NE(mail, XCB_NONE);
    run.Click(mail, kCheckMailX, kCheckMailY);
    // A session that logged in moves the new message out of new/.
    EXPECT_TRUE(Eventually([&] { return !std::filesystem::exists(delivered); }, ProgramOnX::ReactionTime))
        << run.copy.Log();
    run.process->Stop(); // before its session bus goes
}

} // namespace
