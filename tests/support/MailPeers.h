#pragma once

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "support/LoopbackServer.h"
#include "support/TestSupport.h"

namespace quietpane::test {

// A server's certificate chain (leaf first) and its key, as PEM files.
struct TlsIdentity {
    std::filesystem::path chain;
    std::filesystem::path key;
};

// A test CA and server certificates it signed, made with openssl in a folder of their own: one
// for this machine (localhost, 127.0.0.1, 127.0.0.2), one naming another host, and one whose
// only host name is its common name "common-name-only" (its one other name is an address).
class TestCertificates {
public:
    TestCertificates();

    const std::filesystem::path& CAFile() const { return caFile_; }
    TlsIdentity ThisMachine() const { return Identity("this-machine"); }
    TlsIdentity Stranger() const { return Identity("stranger"); }
    TlsIdentity CommonNameOnly() const { return Identity("common-name-only"); }

private:
    void MakeLeaf(const std::string& name, const std::string& subjectAltName) const;
    TlsIdentity Identity(const std::string& name) const;

    TempDir folder_;
    std::filesystem::path caFile_;
};

// A Dovecot POP3 server with one mailbox, started in its own folder on a free port and
// stopped by its PID. The mailbox is a maildir; messages are delivered the way a local
// delivery agent does it (written into tmp/, then renamed into new/).
class DovecotServer {
public:
    static constexpr const char* User = "alice";
    static constexpr const char* Password = "secret";

    DovecotServer();
    // With TLS required: STLS on Port(), TLS from the first byte on TlsPort().
    explicit DovecotServer(const TlsIdentity& tls);
    ~DovecotServer();
    DovecotServer(const DovecotServer&) = delete;
    DovecotServer& operator=(const DovecotServer&) = delete;

    int Port() const { return port_; }
    int TlsPort() const { return tlsPort_; }
    // Stores a message (CR LF or LF line ends as given) and returns its path in new/.
    std::filesystem::path Deliver(const std::string& message);
    // Number of message files the maildir holds right now (new/ and cur/).
    std::size_t StoredMessageCount() const;
    // Removes every message file from the maildir.
    void EmptyMailbox();

private:
    void Prepare();
    void WriteConfiguration() const;
    void Start();

    TempDir folder_;
    std::filesystem::path maildir_;
    std::optional<TlsIdentity> tls_;
    int port_ = 0;
    int tlsPort_ = 0;
    int deliveries_ = 0;
    std::unique_ptr<ChildProcess> process_;
};

// The aiosmtpd server of tests/scripts/smtp_server.py: AUTH LOGIN and PLAIN for one user
// without TLS, every message stored as a file with its envelope, every dialogue recorded.
class SmtpServer {
public:
    static constexpr const char* User = "alice";
    static constexpr const char* Password = "secret";

    enum class Tls {
        Implicit, // TLS from the first byte
        StartTls, // offered after EHLO, and required before a login or a message
    };

    // Recipients in refused are answered with 550; a session silent for idleTimeout is closed.
    explicit SmtpServer(const std::vector<std::string>& refused = {},
                        std::chrono::seconds idleTimeout = std::chrono::seconds(300));
    SmtpServer(Tls mode, const TlsIdentity& identity);
    ~SmtpServer();
    SmtpServer(const SmtpServer&) = delete;
    SmtpServer& operator=(const SmtpServer&) = delete;

    int Port() const { return port_; }
    const std::filesystem::path& Folder() const { return folder_.Path(); }
    // Stored messages in the order they were taken (message-1.eml, message-2.eml, ...).
    std::vector<std::filesystem::path> Messages() const;
    // The lines of the n-th dialogue (1-based), "C: ..." for the client, "S: ..." for the server.
    std::vector<std::string> Session(int number) const;
    // Waits until the client of the n-th dialogue has gone; false after the timeout.
    bool WaitForSessionEnd(int number, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    // Only the client's lines of that dialogue, without the "C: " prefix.
    std::vector<std::string> ClientLines(int number) const;

private:
    void Start(const std::vector<std::string>& options);

    TempDir folder_;
    int port_ = 0;
    std::unique_ptr<ChildProcess> process_;
};

// A server on 127.0.0.1 that plays a scenario table on its own thread, for replies that no real
// server gives: one table per connection, the connections served one after another. Build it
// with the steps, then connect to Port().
class ScriptedServer {
public:
    struct Step {
        enum class Kind {
            Send,        // text + CR LF
            SendRaw,     // text as is, repeated `count` times
            Trickle,     // text as is, one byte at a time with a pause before each
            Expect,      // one line from the client, recorded; "*" accepts any line
            ExpectData,  // lines up to and including "." (an SMTP DATA block), recorded raw
            Close,       // close the connection
            UntilClosed, // read and record until the client closes
            StartTls,    // the server's side of a TLS handshake; everything after it is encrypted
            Stall,       // read nothing more until the server is destroyed
        };
        Kind kind;
        std::string text;
        std::size_t count = 1;
    };

    // Between two bytes of a trickled reply.
    static constexpr std::chrono::milliseconds kTricklePause{150};

    // A scenario table: "S: line" is sent, "S~ line" trickled, "C: line" expected, "C: <data>"
    // reads a DATA block, "<close>" closes, "<until closed>" waits for the client to close,
    // "<tls>" starts TLS (first: from the first byte), "<stall>" stops reading.
    static std::vector<Step> Parse(const std::string& table);
    static Step SendRaw(std::string text, std::size_t count = 1);

    // "<tls>" steps present the identity.
    explicit ScriptedServer(std::vector<Step> steps, std::optional<TlsIdentity> identity = std::nullopt);
    explicit ScriptedServer(const std::string& table) : ScriptedServer(Parse(table)) {}
    // One table per connection.
    ScriptedServer(const std::vector<std::string>& tables, const TlsIdentity& identity);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    int Port() const { return server_->Port(); }
    // Waits for the scenario to end (or the timeout); true when it played to its end.
    bool WaitFinished(std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // The client's lines received so far, without their line ends.
    std::vector<std::string> ClientLines();
    // Everything the client sent, byte for byte.
    std::string Received();
    // Empty when every expected line came as given; otherwise what went wrong first.
    std::string Mismatch();

private:
    class Channel;

    void Play(int connection);
    bool PlayStep(Channel& channel, const Step& step);
    bool ReadLine(Channel& channel, std::string& line);
    void Fail(const std::string& reason);

    std::vector<std::vector<Step>> sessions_;
    std::optional<TlsIdentity> identity_;
    std::size_t played_ = 0; // connections served so far
    std::string pending_;
    std::mutex mutex_;
    std::condition_variable finishedChanged_;
    bool finished_ = false;
    bool completed_ = false;
    bool failed_ = false;
    std::vector<std::string> lines_;
    std::string received_;
    std::string mismatch_;
    std::unique_ptr<LoopbackServer> server_;
};

} // namespace quietpane::test
