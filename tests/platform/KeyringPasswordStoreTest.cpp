#include "support/KeyringPeer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using namespace quietpane::test;
using testing::HasSubstr;
using testing::StartsWith;

namespace {

// Every call runs in a program of its own, as a start of the program makes it, against a real
// gnome-keyring-daemon on a private session bus. A line each: the outcome, the password, the
// reason.
std::string Call(const KeyringPeer& keyring, std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), QUIETPANE_KEYRING_TOOL);
    return keyring.Run(arguments);
}

TEST(KeyringPasswordStoreTest, KeepsThePasswordUnderTheProgramsNameAcrossARestartOfTheKeyring)
{
    KeyringPeer keyring;
    keyring.Start();
    EXPECT_EQ(Call(keyring, {"store", "alice@127.0.0.1", "s3cret pass"}), "Done\n\n\n");
    EXPECT_EQ(keyring.Lookup("alice@127.0.0.1"), "s3cret pass");

    keyring.Stop();
    keyring.Start();
    EXPECT_EQ(Call(keyring, {"read", "alice@127.0.0.1"}), "Done\ns3cret pass\n\n");
    EXPECT_EQ(Call(keyring, {"read", "alice@127.0.0.2"}), "NoEntry\n\n\n");
    EXPECT_EQ(Call(keyring, {"delete", "alice@127.0.0.1"}), "Done\n\n\n");
    EXPECT_EQ(Call(keyring, {"read", "alice@127.0.0.1"}), "NoEntry\n\n\n");
    EXPECT_EQ(Call(keyring, {"delete", "alice@127.0.0.1"}), "Done\n\n\n");
}

// The old password in the column (reversed, the tool's stand-in for scrambling) moves only into
// an unlocked keyring; otherwise it stays where it was and the move says why.
TEST(KeyringPasswordStoreTest, LockedOrMissingKeyringKeepsTheScrambledPasswordAndSaysWhy)
{
    enum class Keyring { Unlocked, Locked, Absent };
    const struct {
        Keyring keyring;
        const char* said;
        const char* column;
    } rows[] = {{Keyring::Unlocked, "Moved Done\ns3cret\n\n", "\n"},
                {Keyring::Locked, "Kept Refused\ns3cret\n", "terc3s\n"},
                {Keyring::Absent, "Kept NoSecretService\ns3cret\n", "terc3s\n"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.said);
        const TempDir folder;
        const std::string database = (folder.Path() / "Quietpane.mdb").string();
        std::filesystem::copy_file(QUIETPANE_DELIVERED_DATABASE, database);
        RunProgram({"sqlite3", database,
                    "UPDATE Email SET UserID = 'alice', ServerIn = '127.0.0.1', "
                    "Password = 'terc3s'"});
        KeyringPeer keyring;
        if (row.keyring != Keyring::Absent)
            keyring.Start();
        if (row.keyring == Keyring::Locked) {
            keyring.Lock();
            // A locked keyring answers a read as if it kept nothing; that is no missing entry.
            EXPECT_EQ(Call(keyring, {"read", "alice@127.0.0.1"}), "Refused\n\nThe keyring is locked.\n");
        }
        EXPECT_THAT(Call(keyring, {"move", database}), StartsWith(row.said));
        EXPECT_EQ(RunProgram({"sqlite3", database, "SELECT Password FROM Email"}), row.column);
        if (row.keyring == Keyring::Unlocked) {
            EXPECT_EQ(keyring.Lookup("alice@127.0.0.1"), "s3cret");
            EXPECT_THAT(ReadFile(database), testing::Not(HasSubstr("terc3s")));
        }
    }
}

} // namespace
