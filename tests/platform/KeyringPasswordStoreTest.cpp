#include "support/KeyringPeer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

using quietpane::test::KeyringPeer;
using testing::StartsWith;

namespace {

// Every call runs in a program of its own (the store in a process, as the program would use
// it), against a real gnome-keyring-daemon on a private session bus.
class KeyringPasswordStoreTest : public ::testing::Test {
protected:
    // The outcome, the password and the reason, one line each.
    std::string Call(const std::vector<std::string>& arguments) const
    {
        std::vector<std::string> argv{QUIETPANE_KEYRING_TOOL};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return keyring.Run(argv);
    }

    KeyringPeer keyring;
};

TEST_F(KeyringPasswordStoreTest, KeepsThePasswordUnderTheProgramsNameAcrossARestartOfTheKeyring)
{
    keyring.Start();
    EXPECT_EQ(Call({"store", "alice@127.0.0.1", "s3cret pass"}), "Done\n\n\n");
    EXPECT_EQ(keyring.Lookup("alice@127.0.0.1"), "s3cret pass");

    keyring.Stop();
    keyring.Start();
    EXPECT_EQ(Call({"read", "alice@127.0.0.1"}), "Done\ns3cret pass\n\n");
    EXPECT_EQ(Call({"read", "alice@127.0.0.2"}), "NoEntry\n\n\n");
    EXPECT_EQ(Call({"delete", "alice@127.0.0.1"}), "Done\n\n\n");
    EXPECT_EQ(Call({"read", "alice@127.0.0.1"}), "NoEntry\n\n\n");
    EXPECT_EQ(Call({"delete", "alice@127.0.0.1"}), "Done\n\n\n");
}

TEST_F(KeyringPasswordStoreTest, LockedKeyringIsARefusalNotAMissingEntry)
{
    keyring.Start();
    ASSERT_EQ(Call({"store", "alice@127.0.0.1", "s3cret"}), "Done\n\n\n");
    keyring.Lock();
    EXPECT_EQ(Call({"read", "alice@127.0.0.1"}), "Refused\n\nThe keyring is locked.\n");
    EXPECT_THAT(Call({"store", "alice@127.0.0.1", "other"}), StartsWith("Refused\n\n"));
    EXPECT_EQ(keyring.Lookup("alice@127.0.0.1"), "");
}

TEST_F(KeyringPasswordStoreTest, NoSecretServiceOnTheBusIsToldApart)
{
    EXPECT_THAT(Call({"store", "alice@127.0.0.1", "s3cret"}), StartsWith("NoSecretService\n"));
    EXPECT_THAT(Call({"read", "alice@127.0.0.1"}), StartsWith("NoSecretService\n"));
}

} // namespace
