#pragma once

#include "support/TestSupport.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quietpane::test {

// A private session bus on which nothing is started on demand, and on it, while started, a
// gnome-keyring-daemon whose "login" keyring is unlocked with a known password (made at the
// first start, kept in the peer's folder across restarts). Programs run through Run() or
// started with Environment() talk to them; this process itself stays off the bus.
class KeyringPeer {
public:
    KeyringPeer();
    ~KeyringPeer();
    KeyringPeer(const KeyringPeer&) = delete;
    KeyringPeer& operator=(const KeyringPeer&) = delete;

    void Start();
    void Stop();
    // Locks the login keyring, as a screen lock or the user would; only a restart unlocks it.
    void Lock();

    const std::map<std::string, std::string>& Environment() const { return environment_; }
    // Runs a program on the peer's bus to its end and returns its standard output.
    std::string Run(const std::vector<std::string>& argv) const;
    // The secret kept under the program's service name for the key, as a second client reads
    // it; empty when there is none.
    std::string Lookup(const std::string& key) const;

private:
    TempDir folder_;
    std::map<std::string, std::string> environment_;
    std::unique_ptr<ChildProcess> bus_;
    std::unique_ptr<ChildProcess> keyring_;
};

} // namespace quietpane::test
